// The library's types that travel in queued calls between the GUI thread and
// the module workers, known to Qt's meta-type system by their library names.
#pragma once

#include <linkwell/DataType.hpp>
#include <linkwell/PreferredSplitSize.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <QMetaType>

Q_DECLARE_METATYPE(Sarvik::DataType)
Q_DECLARE_METATYPE(Sarvik::PreferredSplitSize)
Q_DECLARE_METATYPE(Sarvik::RecordingOptions)

// Registers "Sarvik::DataType", "Sarvik::PreferredSplitSize",
// "Sarvik::RecordingOptions" and the synonym "Sarvik::DataTypes" of unsigned
// int. Safe to call more than once.
void registerLibraryMetaTypes();
