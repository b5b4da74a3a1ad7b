// Fuzzes the Extraction campaign file reader: any bytes are refused or decoded, and what decodes encodes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "extraction_campaign.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<CampaignRecord> record = decodeCampaign(data, size);
    if (!record) return 0;
    const std::string again = encodeCampaign(*record);
    const std::optional<CampaignRecord> reread =
        decodeCampaign(reinterpret_cast<const uint8_t*>(again.data()), again.size());
    if (!reread || reread->roster != record->roster || reread->techIds != record->techIds) std::abort();
    return 0;
}
