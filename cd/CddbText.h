// The text side of the CDDB client: the mapping of a server's answer to the result codes the
// look-up windows act on, the reading of one match line, and the parser of a "read" answer
// (xmcd text). Every routine takes UTF-8 text (the HTTP body is decoded before it gets here),
// survives any input and never reads past it.
//
// Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Result codes the windows act on, from the first three characters of an answer.
enum : int {
    cddbExact = 200,     // one exact match; kept: the rest of the first line
    cddbNoMatch = 202,   // nothing found
    cddbList = 210,      // 210 and 211: a list (or an entry) follows; kept: the lines between
    cddbNotFound = 401,  // no entry for that category and id
    cddbServerError = 409,
    cddbSyntax = 500,
    cddbTimeOut = 600,   // 600 and 700
    cddbUnknown = 999,   // anything else, no number, or no answer at all
};

// Maps an answer to its code; Text gets the part that code keeps (empty for the others).
int CddbMapBody(std::string_view Body, std::string& Text);

// Reads "[digits ]category discid rest": Category with its first letter in upper case, the
// id, and the rest trimmed. Missing parts come back empty; false unless all three were there.
bool ParseMatchLine(std::string_view Line, std::string& Category, std::string& DiscId, std::string& Rest);

// Year, disc title and artist and the track titles of an xmcd entry. The disc title is the
// DTITLE lines joined, split at the first " / " (artist before it); without " / " both stay
// empty. Each TTITLEn line appends its text to track n (a long title continues on a second
// line of the same number); tracks past the 99th are not taken. The year is the first four
// digits after "YEAR: " in an EXTD line.
void ParseXmcdText(std::string_view Text, std::string& Year, std::vector<std::string>& Tracks, std::string& Title,
                   std::string& Artist);

// Whether an xmcd entry holds a disc or a track title line at all: an entry without one is
// an answer that does not parse.
bool HasXmcdTitles(std::string_view Text);
