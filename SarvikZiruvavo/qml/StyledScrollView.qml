// A scroll area in the window style: vertical scrolling only.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global

ScrollView {
    id: scrollView

    clip: true
    contentWidth: availableWidth
    ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
    ScrollBar.vertical.contentItem: Rectangle {
        implicitWidth: 6
        radius: 3
        color: Global.colorSecondaryLightGrey
        opacity: scrollView.ScrollBar.vertical.active ? 0.8 : 0
    }
}
