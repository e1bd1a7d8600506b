#include "LibraryQueues.hpp"

#include <linkwell/Transport.hpp>

const char* const floatDataQueueName = "d4d70752-c146-11e6-a4a6-cec0c932ce01";

const std::vector<std::string>& libraryQueueNames()
{
    static const std::vector<std::string> names {
        "name_of_presence_single_subscription",
        "name_of_presence_movinglist_subscription",
        floatDataQueueName,
        "2588cebf-cbcb-40af-b0ad-37d7e959ae1a",
        "0d80de13-d19a-4563-8657-e7209e6fa2ee",
        "baseband_iq_subscription_id",
        "baseband_ap_subscription_id",
        "pulsedoppler_float_subscription_id",
        "noisemap_float_subscription_id",
        "pulsedoppler_byte_subscription_id",
        "noisemap_byte_subscription_id",
        "system_message_subscription_id",
        "respiration_legacy_subscription_id",
        "respiration_sleep_subscription_id",
        "respiration_movinglist_subscription_id",
        "respiration_detectionlist_subscription_id",
        "respiration_normalizedmovementlist_subscription_id",
        "sleepstage_subscription_id",
        "vital_signs_subscription_id",
        "radar_rf_subscription_id",
        "radar_rf_normalized_subscription_id",
        "radar_baseband_float_subscription_id",
        "radar_baseband_q15_subscription_id",
    };
    return names;
}

void unsubscribeLibraryQueues(Sarvik::Transport& transport)
{
    for (const std::string& name : libraryQueueNames())
        transport.unsubscribe(name);
}
