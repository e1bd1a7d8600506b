#include "device/LibraryMetaTypes.hpp"

#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// A worker on a thread of its own that takes the library's types in a slot,
// as the module workers do.
class Receiver : public QObject {
    Q_OBJECT
public:
    Sarvik::DataType type {};
    Sarvik::DataTypes types = 0;
    int splitKind = -1;
    long long splitBytes = 0;

public slots:
    void take(Sarvik::DataType dataType, Sarvik::DataTypes dataTypes, const Sarvik::PreferredSplitSize& split)
    {
        type = dataType;
        types = dataTypes;
        splitKind = split.get_type();
        splitBytes = split.get_byte_count();
        emit taken();
    }

signals:
    void taken();
};

TEST(LibraryMetaTypesTest, TheLibrarysTypesCrossThreadsInQueuedCallsByName)
{
    registerLibraryMetaTypes();
    registerLibraryMetaTypes(); // again: harmless
    EXPECT_EQ(QMetaType::UInt, QMetaType::type("Sarvik::DataTypes"));

    Receiver receiver;
    // Quits and joins the thread however the test ends, before the receiver
    // goes.
    struct Thread : QThread {
        ~Thread() override
        {
            quit();
            wait();
        }
    } thread;
    receiver.moveToThread(&thread);
    thread.start();
    QSignalSpy taken(&receiver, &Receiver::taken);
    Sarvik::PreferredSplitSize split;
    split.set_byte_count(20000);

    ASSERT_TRUE(QMetaObject::invokeMethod(&receiver, "take", Qt::QueuedConnection,
        Q_ARG(Sarvik::DataType, Sarvik::PresenceSingleDataType), Q_ARG(Sarvik::DataTypes, 0x3u),
        Q_ARG(Sarvik::PreferredSplitSize, split)));
    ASSERT_TRUE(taken.wait(10000));
    EXPECT_EQ(Sarvik::PresenceSingleDataType, receiver.type);
    EXPECT_EQ(0x3u, receiver.types);
    EXPECT_EQ(1, receiver.splitKind);
    EXPECT_EQ(20000, receiver.splitBytes);
}

} // namespace

#include "LibraryMetaTypes_test.moc"
