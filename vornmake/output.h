// The output file: writer lock, file head, frame records and flushing.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"

// Exclusive use of the file against VornMakeFlush.
void VmkWriterEnter(VornMakeHandle* h);
void VmkWriterLeave(VornMakeHandle* h);

// Header, track tables and an empty frame index.
void VmkWriteHead(VornMakeHandle* h);

// Starts the record of the next frame: index entry and progress report.
// Returns the record's start position.
uint32_t VmkRecordBegin(VornMakeHandle* h, int key);
// Writes the frame's sound packets and planes (lengths from the frame
// encoder). Returns the position after the sound packets in *afterSound and
// the record's end.
uint32_t VmkRecordEnd(VornMakeHandle* h, uint32_t start, const uint32_t lengths[VMK_PLANES],
                      uint32_t error, uint32_t* afterSound);

// The flush of VornMakeFlush; wait is the time-out in milliseconds.
int VmkFlush(VornMakeHandle* h, uint32_t wait);
