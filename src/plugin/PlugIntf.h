#pragma once
// The host's two descriptor records, as byte offsets: the host owns them
// and may make them larger; the library writes only the listed fields.
#include <cstddef>
#include <cstdint>

namespace PlugIntf {

// TPlugInLibInfo, filled by InitPlugInLib; at least 824 bytes.
constexpr size_t LibInfoMinSize = 824;
constexpr size_t LibFileName = 4;       // 264 bytes of text
constexpr size_t LibValue268 = 268;     // 1
constexpr size_t LibValue272 = 272;     // 0
constexpr size_t LibValue276 = 276;     // 1
constexpr size_t LibCopyright = 280;    // 524 bytes of text
constexpr size_t LibCopyrightSize = 524;
constexpr size_t LibValue804 = 804;     // 1
constexpr size_t LibValue808 = 808;     // 0x18000
constexpr size_t LibCallbackAddress = 812;
constexpr size_t LibValue816 = 816;     // 0
constexpr size_t LibValue820 = 820;     // 0

// TPlugInInfo, filled by LibCallback with command 1; at least 1596 bytes.
constexpr size_t InfoMinSize = 1596;
constexpr size_t PlugInName = 4;          // 261 bytes of text
constexpr size_t PlugInDescription = 265; // 261 bytes of text and 2 alignment bytes
constexpr size_t InfoValue528 = 528;      // 5
constexpr size_t InfoText532 = 532;       // 261 bytes of text
constexpr size_t InfoTextArea793 = 793;   // a single NUL
constexpr size_t InfoValue1576 = 1576;    // 1
constexpr size_t InfoValue1580 = 1580;    // 0x10000
constexpr size_t GetPlugInFunctionAddress = 1592;

constexpr uint32_t PlugInFunctionSlots = 18;

}  // namespace PlugIntf
