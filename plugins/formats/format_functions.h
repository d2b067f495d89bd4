// The functions the host calls through the format records: plain C signatures of the
// plug-in header, each a guarded wrapper that reports faults on the context.
#pragma once

#include "lumetra/plugin.h"

namespace formats {

// Still images: the codec is chosen by the file's first bytes (TGA by its extension) when
// reading, and by the extension of the file name when writing.
PIC* ImageLoad(HostCallContext* ctx, const char* file, const char* layer, int32_t frame);
int32_t ImageInform(HostCallContext* ctx, const char* file, void* info, int32_t* first,
                    int32_t* last, int32_t* width, int32_t* height, int32_t* bits,
                    int32_t* channels);
uint16_t* ImageBrowse(HostCallContext* ctx, const char* file, void* info, int32_t frame,
                      int32_t width, int32_t height);
int32_t ImageLayers(HostCallContext* ctx, const char* file, int32_t index, char* name,
                    int32_t size);
int32_t ImageSave(HostCallContext* ctx, void* params, uintptr_t stream, const PIC* pic,
                  const char* file, const char* stream_name, int32_t frame);
int32_t ParamsCheck(HostCallContext* ctx, void* params);

// Movies, read through the reader cache and written one file per session.
PIC* MovieLoad(HostCallContext* ctx, const char* file, const char* layer, int32_t frame);
int32_t MovieInform(HostCallContext* ctx, const char* file, void* info, int32_t* first,
                    int32_t* last, int32_t* width, int32_t* height, int32_t* bits,
                    int32_t* channels);
uint16_t* MovieBrowse(HostCallContext* ctx, const char* file, void* info, int32_t frame,
                      int32_t width, int32_t height);
int32_t MovieLayers(HostCallContext* ctx, const char* file, int32_t index, char* name,
                    int32_t size);
uintptr_t MovieStart(HostCallContext* ctx, void* params);
int32_t MovieSave(HostCallContext* ctx, void* params, uintptr_t stream, const PIC* pic,
                  const char* file, const char* stream_name, int32_t frame);
int32_t MovieFinish(HostCallContext* ctx, void* params, uintptr_t stream);
int32_t MovieCheck(HostCallContext* ctx, void* params);
uintptr_t MovieSoundStart(HostCallContext* ctx, void* params);
int32_t MovieSoundSave(HostCallContext* ctx, void* params, uintptr_t stream,
                       const SoundBlock* sound, const char* file, const char* stream_name,
                       float time);
int32_t MovieSoundFinish(HostCallContext* ctx, void* params, uintptr_t stream);

// Sound: read from sound files (libsndfile) and movies' sound tracks (libavformat).
SoundBlock* SoundLoad(HostCallContext* ctx, const char* file, const char* layer, float from,
                      float to);
int32_t SoundInform(HostCallContext* ctx, const char* file, void* info, int32_t* first,
                    int32_t* last, int32_t* rate, int32_t* channels, int32_t* bits);
uintptr_t SoundFileStart(HostCallContext* ctx, void* params);
int32_t SoundFileSave(HostCallContext* ctx, void* params, uintptr_t stream,
                      const SoundBlock* sound, const char* file, const char* stream_name,
                      float time);
int32_t SoundFileFinish(HostCallContext* ctx, void* params, uintptr_t stream);

}  // namespace formats
