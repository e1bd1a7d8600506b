// What the configure routines of the Osprey family (Osprey, Falcon, Merlin,
// Gannet) send that differs by model: the module profile loaded for a profile
// kind, and the data outputs switched on.
#pragma once

#include <QList>
#include <QString>

struct SarvikDeviceInfo;

struct ProfileLoad {
    enum Action {
        // Kinds above the known ones load nothing.
        LoadNothing,
        Load,
        // A kind the model does not offer: a fault in the calling application.
        NotOffered,
    };
    Action action = LoadNothing;
    quint32 profileId = 0;
    // Load: the text a failed load leaves; NotOffered: the fatal message.
    QString text;
};

// The profile a model of the Osprey family loads for a profile kind.
ProfileLoad ospreyFamilyProfile(quint32 deviceType, quint32 profileKind);

struct ModuleOutput {
    // The content id of the output's packets.
    quint32 contentId = 0;
    QString failure;
};

// The data outputs switched on for the module, in the order they are sent;
// the vital-signs and normalized-movement outputs only where the module's
// firmware has them.
QList<ModuleOutput> ospreyFamilyOutputs(const SarvikDeviceInfo& info);

// Whether the model takes the transmitter band (when it was read from it).
bool ospreyFamilySetsFrequencyBand(quint32 deviceType);
