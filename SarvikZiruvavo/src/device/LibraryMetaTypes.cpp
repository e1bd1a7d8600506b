#include "LibraryMetaTypes.hpp"

void registerLibraryMetaTypes()
{
    qRegisterMetaType<Sarvik::DataType>("Sarvik::DataType");
    qRegisterMetaType<Sarvik::DataTypes>("Sarvik::DataTypes");
    qRegisterMetaType<Sarvik::PreferredSplitSize>("Sarvik::PreferredSplitSize");
    qRegisterMetaType<Sarvik::RecordingOptions>("Sarvik::RecordingOptions");
}
