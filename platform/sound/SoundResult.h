// Result codes of the sound layer, in the style of the platform API the playback code was
// written against: 0 is success, negative values are failures. soundResultText() gives the
// standard description of each code; the sound engine puts it into its error messages.
// Plain constants and a pure function; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace snd {

namespace result {
constexpr int32_t code(uint32_t v) { return static_cast<int32_t>(v); }
constexpr int32_t kOk = 0;
constexpr int32_t kNoVirtualization = code(0x0878000A);
constexpr int32_t kAllocated = code(0x8878000A);
constexpr int32_t kControlUnavailable = code(0x8878001E);
constexpr int32_t kInvalidParam = code(0x80070057);
constexpr int32_t kInvalidCall = code(0x88780032);
constexpr int32_t kGeneric = code(0x80004005);
constexpr int32_t kPriorityLevelNeeded = code(0x88780046);
constexpr int32_t kOutOfMemory = code(0x8007000E);
constexpr int32_t kBadFormat = code(0x88780064);
constexpr int32_t kUnsupported = code(0x80004001);
constexpr int32_t kNoDriver = code(0x88780078);
constexpr int32_t kAlreadyInitialized = code(0x88780082);
constexpr int32_t kNoAggregation = code(0x80040110);
constexpr int32_t kBufferLost = code(0x88780096);
constexpr int32_t kOtherAppHasPriority = code(0x887800A0);
constexpr int32_t kUninitialized = code(0x887800AA);
constexpr int32_t kNoInterface = code(0x80004002);
constexpr int32_t kAccessDenied = code(0x80070005);
constexpr int32_t kBufferTooSmall = code(0x887800B4);
constexpr int32_t kDs8Required = code(0x887800BE);
constexpr int32_t kSendLoop = code(0x887800C8);
constexpr int32_t kBadSendBufferGuid = code(0x887800D2);
constexpr int32_t kFxUnavailable = code(0x887800DC);
constexpr int32_t kObjectNotFound = code(0x88781161);
}  // namespace result

// The standard description of a result; "Unknown error." for codes outside the table.
std::string soundResultText(int32_t code);

}  // namespace snd
