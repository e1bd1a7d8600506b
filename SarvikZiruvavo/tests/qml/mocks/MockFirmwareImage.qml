// Stands in for FirmwareImage: one firmware image the program carries.
import QtQuick 2.15

QtObject {
    property string version: ""
    property string releasenotes: ""
    property string filename: ""
}
