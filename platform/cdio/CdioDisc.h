// What the drive list, the CD audio device and the ripper share of libcdio: an owning handle and
// the disc's track range.
#pragma once

#include <cdio/cdio.h>

#include <memory>

namespace cdio_disc {

struct CdioCloser {
    void operator()(CdIo_t* p) const { cdio_destroy(p); }
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

// The disc's first track and its number of tracks. False when libcdio names none, or more than a
// CD can hold: the track numbers are 8-bit, and a drive reporting first + count past 99 would
// otherwise send a loop over them round for ever.
inline bool TrackRange(CdIo_t* cd, int& first, int& count)
{
    const track_t f = cdio_get_first_track_num(cd);
    const track_t n = cdio_get_num_tracks(cd);
    if (f == CDIO_INVALID_TRACK || n == CDIO_INVALID_TRACK || n == 0 || int(f) + int(n) > 100)
        return false;
    first = f;
    count = n;
    return true;
}

}  // namespace cdio_disc
