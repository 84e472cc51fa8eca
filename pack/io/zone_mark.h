// Whether the tool writes the mark of the web onto an extracted file, from what the target's
// volume says of itself, apart from the platform's calls so that the decision is tested anywhere.
#pragma once

enum class MarkWrite {
  kSkip,   // the volume says it has no named streams (FAT32, exFAT; Wine's drives): Windows
           // refuses a name with a colon there, and Wine makes it a file of its own, which the
           // rename would leave behind
  kWrite,  // it has them: a mark that cannot be written is an error
  kTry,    // it could not be asked (a share: SMB answers no volume queries): written all the
           // same, and a failure is a warning, since the server may hold streams or not
};

MarkWrite MarkWriteFor(bool volumeAnswered, bool namedStreams);
