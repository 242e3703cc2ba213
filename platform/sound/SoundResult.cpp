#include "platform/sound/SoundResult.h"

#include <array>
#include <utility>

namespace snd {

std::string soundResultText(int32_t code)
{
    using namespace result;
    static const std::array<std::pair<int32_t, const char*>, 25> texts{{
        {kOk, "The method succeeded."},
        {kNoVirtualization, "The buffer was created, but another 3D algorithm was substituted."},
        {kAllocated, "The request failed because resources, such as a priority level, were already in use by another caller."},
        {kControlUnavailable, "The buffer control (volume, pan, and so on) requested by the caller is not available."},
        {kInvalidParam, "An invalid parameter was passed to the returning function."},
        {kInvalidCall, "This function is not valid for the current state of this object."},
        {kGeneric, "An undetermined error occurred inside the DirectSound subsystem."},
        {kPriorityLevelNeeded, "The caller does not have the priority level required for the function to succeed."},
        {kOutOfMemory, "Not enough free memory is available to complete the operation."},
        {kBadFormat, "The specified wave format is not supported."},
        {kUnsupported, "The function called is not supported at this time."},
        {kNoDriver, "No sound driver is available for use."},
        {kAlreadyInitialized, "This object is already initialized."},
        {kNoAggregation, "This object does not support aggregation."},
        {kBufferLost, "The buffer memory has been lost and must be restored."},
        {kOtherAppHasPriority, "Another application has a higher priority level, preventing this call from succeeding."},
        {kUninitialized, "The Initialize method has not been called or has not been called successfully before other methods were called."},
        {kNoInterface, "The requested COM interface is not available."},
        {kAccessDenied, "The request failed because access was denied."},
        {kBufferTooSmall, "The buffer size is not great enough to enable effects processing."},
        {kDs8Required, "A DirectSound object of class CLSID_DirectSound8 or later is required for the requested functionality."},
        {kSendLoop, "A circular loop of send effects was detected."},
        {kBadSendBufferGuid, "The GUID specified in an audiopath file does not match a valid mix-in buffer."},
        {kFxUnavailable, "The effects requested could not be found on the system, or they are in the wrong order or in the wrong location."},
        {kObjectNotFound, "The requested object was not found."},
    }};
    for (const auto& [c, text] : texts)
        if (c == code)
            return text;
    return "Unknown error.";
}

}  // namespace snd
