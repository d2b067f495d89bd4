// The per-thread picture error code and its message table.
#pragma once

#include <cstdint>

namespace lumetra::render {

// Makes the per-thread slot usable (once; later calls do nothing) and sets PIC_OK on the
// calling thread. Called at start-up before other threads start.
void PicInit();
// Stores the calling thread's code; nothing before PicInit.
void PicSetError(int32_t code);
// The calling thread's code: PIC_ERROR_NO_INFO before PicInit or before the thread set one.
int32_t PicLastError();
// The message of PicLastError().
const char* PicErrorText();
// The message of a code; codes outside the table read as PIC_ERROR_NO_INFO.
const char* PicErrorTextOf(int32_t code);

}  // namespace lumetra::render
