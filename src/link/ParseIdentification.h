// Recognises a panel's identification reply among its seven formats.
#pragma once

#include "host/HostPanelRecord.h"
#include "link/PanelIdentification.h"

#include <cstdint>
#include <vector>

namespace vek {

enum IdentificationResult : int {
    kIdentNotRecognised = 0,
    kIdentBlock02 = 1, // block with the 02 02 02 prefix
    kIdentShort = 2,   // the short formats
    kIdentBlock04 = 3, // block with the 04 04 04 prefix
};

// The panel-option bits (0x0008, 0x0010) a 02 02 02 block sets for this type
// and version.
uint16_t IdentificationOptionBits(uint8_t panelType, uint8_t panelVersion);

// Decodes reply into ident (zeroed first) and keeps the recognised bytes in
// lastReply (the reply as passed in when nothing is recognised). Fewer than
// three bytes are not recognised and leave ident and lastReply untouched. The reply is
// changed in place: leading bytes removed, a 0x00 appended to 11-byte blocks,
// parity bits cleared by the repair. For a 02 02 02 block with a record
// attached, the option bits are OR-ed into the record. Reads only bytes the
// reply holds; the raw area keeps at most its first 200 bytes.
int ParseIdentification(std::vector<uint8_t>& reply, PanelIdentification& ident, std::vector<uint8_t>& lastReply,
                        PanelRecordView record = PanelRecordView(static_cast<void*>(nullptr)));

} // namespace vek
