// Encodes pictures (and the track's sound) into MP4, Matroska or QuickTime files. The muxer
// writes through our own I/O callbacks into the temporary file beside the target, which is
// renamed into place once the index is written.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstring>
#include <vector>

#include "movie.h"
#include "safe_file.h"

namespace formats {
namespace {

std::string AvText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int WritePacket(void* opaque, uint8_t* data, int size) {
  auto* f = static_cast<std::FILE*>(opaque);
  return std::fwrite(data, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size)
             ? size
             : AVERROR(EIO);
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
  auto* f = static_cast<std::FILE*>(opaque);
  if (whence == AVSEEK_SIZE) {
    const long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(f);
    std::fseek(f, here, SEEK_SET);
    return size;
  }
  whence &= ~AVSEEK_FORCE;
  if (std::fseek(f, static_cast<long>(offset), whence) != 0) return -1;
  return std::ftell(f);
}

const char* EncoderName(const std::string& container, int32_t codec) {
  switch (codec) {
    case kCodecH264: return "libx264";
    case kCodecMpeg4: return "mpeg4";
    case kCodecFfv1: return "ffv1";
    case kCodecProres: return "prores_ks";
    default: break;
  }
  if (container == "mkv") return "ffv1";
  if (container == "mov") return HaveEncoder("prores_ks") ? "prores_ks" : "mpeg4";
  return HaveEncoder("libx264") ? "libx264" : "mpeg4";
}

const char* SoundEncoderName(const std::string& container) {
  if (container == "mkv") return "flac";
  if (container == "mov") return "pcm_s16le";
  return "aac";
}

}  // namespace

bool HaveEncoder(const char* name) { return avcodec_find_encoder_by_name(name) != nullptr; }

struct MovieWriter::State {
  AtomicOutput out;
  AVFormatContext* fmt = nullptr;
  AVIOContext* io = nullptr;
  AVCodecContext* video = nullptr;
  AVStream* video_stream = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* sws = nullptr;
  AVPacket* packet = nullptr;
  int32_t width = 0, height = 0;  // the file's size (4:2:0 codecs: even sides)
  int64_t next_pts = 0;
  bool video_done = false;
  // Sound.
  AVCodecContext* sound = nullptr;
  AVStream* sound_stream = nullptr;
  SwrContext* swr = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* sound_frame = nullptr;
  int64_t sound_pts = 0;
  int32_t swr_in_rate = 0, swr_in_channels = 0, swr_in_bytes = 0;
  std::vector<int32_t> widened;  // 24-bit samples widened to 32

  ~State() {
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    av_frame_free(&frame);
    av_frame_free(&sound_frame);
    av_packet_free(&packet);
    sws_freeContext(sws);
    swr_free(&swr);
    if (fifo) av_audio_fifo_free(fifo);
    if (fmt) avformat_free_context(fmt);
    if (io) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
  }

  // Sends one frame (null drains) and writes every packet the encoder gives back.
  Status Encode(AVCodecContext* codec, AVStream* stream, AVFrame* in) {
    int rc = avcodec_send_frame(codec, in);
    if (rc < 0 && rc != AVERROR_EOF) {
      return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "encoder: " + AvText(rc));
    }
    for (;;) {
      rc = avcodec_receive_packet(codec, packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return Status::Ok();
      if (rc < 0) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "encoder: " + AvText(rc));
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      rc = av_write_frame(fmt, packet);
      av_packet_unref(packet);
      if (rc < 0) return Status::Error(PIC_ERROR_FILE_WRITE, "muxer: " + AvText(rc));
    }
  }

  Status OpenSound(const std::string& container, const SoundPlan& plan) {
    const AVCodec* codec = avcodec_find_encoder_by_name(SoundEncoderName(container));
    if (codec == nullptr) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "no sound encoder");
    sound = avcodec_alloc_context3(codec);
    if (sound == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no sound encoder");
    sound->sample_rate = plan.rate;
    av_channel_layout_default(&sound->ch_layout, plan.channels);
    sound->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    if (container == "mkv") sound->sample_fmt = AV_SAMPLE_FMT_S16;
    sound->time_base = AVRational{1, plan.rate};
    if (std::string(codec->name) == "aac") sound->bit_rate = 192000;
    if (fmt->oformat->flags & AVFMT_GLOBALHEADER) sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int rc = avcodec_open2(sound, codec, nullptr); rc < 0) {
      return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "sound encoder: " + AvText(rc));
    }
    if (sound->frame_size <= 0) sound->frame_size = 1024;
    sound_stream = avformat_new_stream(fmt, nullptr);
    if (sound_stream == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no sound stream");
    sound_stream->time_base = sound->time_base;
    avcodec_parameters_from_context(sound_stream->codecpar, sound);
    fifo = av_audio_fifo_alloc(sound->sample_fmt, plan.channels, sound->frame_size * 4);
    sound_frame = av_frame_alloc();
    if (fifo == nullptr || sound_frame == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no sound buffer");
    return Status::Ok();
  }

  // Encodes whole frames from the buffer; with drain, the rest too (padded with silence
  // where the encoder wants whole frames).
  Status EncodeBufferedSound(bool drain) {
    const int size = sound->frame_size;
    const bool small_last = (sound->codec->capabilities &
                             (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    while (av_audio_fifo_size(fifo) >= size || (drain && av_audio_fifo_size(fifo) > 0)) {
      const int have = std::min(av_audio_fifo_size(fifo), size);
      av_frame_unref(sound_frame);
      sound_frame->nb_samples = small_last ? have : size;
      sound_frame->format = sound->sample_fmt;
      sound_frame->sample_rate = sound->sample_rate;
      av_channel_layout_copy(&sound_frame->ch_layout, &sound->ch_layout);
      if (av_frame_get_buffer(sound_frame, 0) < 0) return Status::Error(PIC_ERROR_MEMORY, "no sound frame");
      if (have < sound_frame->nb_samples) {
        av_samples_set_silence(sound_frame->data, 0, sound_frame->nb_samples,
                               sound->ch_layout.nb_channels, sound->sample_fmt);
      }
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound_frame->data), have);
      sound_frame->pts = sound_pts;
      sound_pts += sound_frame->nb_samples;
      if (Status st = Encode(sound, sound_stream, sound_frame); !st.ok()) return st;
    }
    return Status::Ok();
  }
};

MovieWriter::MovieWriter() = default;
MovieWriter::~MovieWriter() { Abort(); }

bool MovieWriter::is_open() const { return s_ != nullptr; }
bool MovieWriter::has_sound() const { return s_ && s_->sound != nullptr; }

Status MovieWriter::Open(const std::string& file, const std::string& container,
                         const MovieParams& params, int32_t width, int32_t height, double fps,
                         const SoundPlan& sound) {
  // Encoder statistics and demuxer notes are not the user's concern; faults come back as results.
  av_log_set_level(AV_LOG_ERROR);
  Abort();
  auto s = std::make_unique<State>();
  const char* encoder_name = EncoderName(container, params.codec);
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder_name);
  if (codec == nullptr) {
    return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED,
                         std::string("no encoder ") + encoder_name + " in this build");
  }
  const AVOutputFormat* muxer =
      av_guess_format(container == "mkv" ? "matroska" : container.c_str(), nullptr, nullptr);
  if (muxer == nullptr) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "no muxer " + container);
  if (Status st = s->out.Open(file); !st.ok()) return st;
  if (avformat_alloc_output_context2(&s->fmt, muxer, nullptr, nullptr) < 0) {
    return Status::Error(PIC_ERROR_MEMORY, "no muxer");
  }
  constexpr int kIoBuffer = 1 << 16;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
  s->io = buffer ? avio_alloc_context(buffer, kIoBuffer, 1, s->out.file(), nullptr, WritePacket,
                                      SeekFile)
                 : nullptr;
  if (s->io == nullptr) {
    av_free(buffer);
    return Status::Error(PIC_ERROR_MEMORY, "no output buffer");
  }
  s->fmt->pb = s->io;
  s->fmt->flags |= AVFMT_FLAG_CUSTOM_IO;

  const bool lossless = std::strcmp(codec->name, "ffv1") == 0;
  const bool prores = std::strcmp(codec->name, "prores_ks") == 0;
  const AVPixelFormat pix = lossless ? AV_PIX_FMT_BGRA
                            : prores ? AV_PIX_FMT_YUV422P10LE
                                     : AV_PIX_FMT_YUV420P;
  // 4:2:0 and 4:2:2 need even sides: the last odd column or row is dropped.
  s->width = lossless ? width : width & ~1;
  s->height = (lossless || prores) ? height : height & ~1;
  if (s->width < 2 || s->height < 2) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "picture too small for this codec");
  }
  s->video = avcodec_alloc_context3(codec);
  if (s->video == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no encoder");
  const AVRational rate = av_d2q(fps, 100000);
  s->video->width = s->width;
  s->video->height = s->height;
  s->video->pix_fmt = pix;
  s->video->time_base = av_inv_q(rate);
  s->video->framerate = rate;
  s->video->sample_aspect_ratio = AVRational{1, 1};
  s->video->thread_count = 0;
  if (!lossless) {
    s->video->colorspace = AVCOL_SPC_BT709;
    s->video->color_primaries = AVCOL_PRI_BT709;
    s->video->color_trc = AVCOL_TRC_BT709;
    s->video->color_range = AVCOL_RANGE_MPEG;
  }
  if (params.bit_rate > 0) s->video->bit_rate = int64_t{params.bit_rate} * 1000;
  if (s->fmt->oformat->flags & AVFMT_GLOBALHEADER) s->video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  if (std::strcmp(codec->name, "libx264") == 0) {
    av_dict_set(&options, "preset", "fast", 0);
    if (params.bit_rate <= 0) {
      const int crf = params.quality > 0 && params.quality <= 51 ? params.quality : 20;
      av_dict_set_int(&options, "crf", crf, 0);
    }
  } else if (std::strcmp(codec->name, "mpeg4") == 0) {
    s->video->gop_size = 12;
    if (params.bit_rate <= 0) {
      const int q = params.quality > 0 && params.quality <= 31 ? params.quality : 3;
      s->video->flags |= AV_CODEC_FLAG_QSCALE;
      s->video->global_quality = FF_QP2LAMBDA * q;
    }
  } else if (lossless) {
    av_dict_set(&options, "level", "3", 0);
    av_dict_set(&options, "slicecrc", "1", 0);
    s->video->gop_size = 1;
  } else if (prores) {
    av_dict_set(&options, "profile", "3", 0);
  }
  const int rc = avcodec_open2(s->video, codec, &options);
  av_dict_free(&options);
  if (rc < 0) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "encoder: " + AvText(rc));
  s->video_stream = avformat_new_stream(s->fmt, nullptr);
  if (s->video_stream == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no stream");
  s->video_stream->time_base = s->video->time_base;
  s->video_stream->avg_frame_rate = rate;
  avcodec_parameters_from_context(s->video_stream->codecpar, s->video);
  if (sound.muxed) {
    if (sound.rate < 1000 || sound.rate > 384000 || sound.channels < 1 || sound.channels > 8) {
      return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "unusable sound format");
    }
    if (Status st = s->OpenSound(container, sound); !st.ok()) return st;
  }
  if (int hr = avformat_write_header(s->fmt, nullptr); hr < 0) {
    return Status::Error(PIC_ERROR_FILE_WRITE, "muxer: " + AvText(hr));
  }
  s->frame = av_frame_alloc();
  s->packet = av_packet_alloc();
  if (s->frame == nullptr || s->packet == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no frame");
  s->frame->format = pix;
  s->frame->width = s->width;
  s->frame->height = s->height;
  if (av_frame_get_buffer(s->frame, 0) < 0) return Status::Error(PIC_ERROR_MEMORY, "no frame");
  if (!lossless) {
    s->sws = sws_getContext(s->width, s->height, AV_PIX_FMT_BGRA, s->width, s->height, pix,
                            SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                            nullptr, nullptr);
    if (s->sws == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no converter");
    // Full-range picture values into the limited BT.709 range the file is tagged with.
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(s->sws, coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
  }
  s_ = std::move(s);
  return Status::Ok();
}

Status MovieWriter::WriteFrame(const PIC& pic) {
  if (!s_ || s_->video_done) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "movie not open");
  State& s = *s_;
  if (pic.width < s.width || pic.height < s.height) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "picture smaller than the movie");
  }
  if (av_frame_make_writable(s.frame) < 0) return Status::Error(PIC_ERROR_MEMORY, "no frame");
  if (s.sws == nullptr) {
    for (int32_t y = 0; y < s.height; ++y) {
      std::memcpy(s.frame->data[0] + static_cast<ptrdiff_t>(y) * s.frame->linesize[0],
                  TopRow(&pic, y), static_cast<size_t>(s.width) * 4);
    }
  } else {
    // The picture is bottom-up: start at its top row and walk down memory backwards.
    const uint8_t* source[1] = {TopRow(&pic, 0)};
    const int stride[1] = {-pic.width * 4};
    sws_scale(s.sws, source, stride, 0, s.height, s.frame->data, s.frame->linesize);
  }
  s.frame->pts = s.next_pts++;
  return s.Encode(s.video, s.video_stream, s.frame);
}

Status MovieWriter::FinishVideo() {
  if (!s_) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "movie not open");
  if (s_->video_done) return Status::Ok();
  s_->video_done = true;
  return s_->Encode(s_->video, s_->video_stream, nullptr);
}

Status MovieWriter::WriteSound(const SoundBlock& block) {
  if (!s_ || s_->sound == nullptr) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "movie has no sound track");
  State& s = *s_;
  if (block.samples == 0) return Status::Ok();
  if (block.bytes < 1 || block.bytes > 4 || block.channels < 1 || block.channels > 8 ||
      block.rate < 1000 || block.rate > 384000 || block.data == nullptr) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "unusable sound block");
  }
  const AVSampleFormat in_format = block.bytes == 1 ? AV_SAMPLE_FMT_U8
                                   : block.bytes == 2 ? AV_SAMPLE_FMT_S16
                                                      : AV_SAMPLE_FMT_S32;
  if (s.swr == nullptr || s.swr_in_rate != static_cast<int32_t>(block.rate) ||
      s.swr_in_channels != block.channels || s.swr_in_bytes != block.bytes) {
    swr_free(&s.swr);
    AVChannelLayout in_layout;
    av_channel_layout_default(&in_layout, block.channels);
    if (swr_alloc_set_opts2(&s.swr, &s.sound->ch_layout, s.sound->sample_fmt,
                            s.sound->sample_rate, &in_layout, in_format,
                            static_cast<int>(block.rate), 0, nullptr) < 0 ||
        swr_init(s.swr) < 0) {
      return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no sound converter");
    }
    s.swr_in_rate = static_cast<int32_t>(block.rate);
    s.swr_in_channels = block.channels;
    s.swr_in_bytes = block.bytes;
  }
  const uint8_t* input = block.data;
  const size_t values = static_cast<size_t>(block.samples) * block.channels;
  if (block.bytes == 3) {
    s.widened.resize(values);
    for (size_t i = 0; i < values; ++i) {
      const uint8_t* p = block.data + i * 3;
      s.widened[i] = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                          static_cast<uint32_t>(p[1]) << 16 |
                                          static_cast<uint32_t>(p[2]) << 24);
    }
    input = reinterpret_cast<const uint8_t*>(s.widened.data());
  }
  const int out_count = swr_get_out_samples(s.swr, static_cast<int>(block.samples));
  uint8_t** converted = nullptr;
  if (av_samples_alloc_array_and_samples(&converted, nullptr, s.sound->ch_layout.nb_channels,
                                         out_count, s.sound->sample_fmt, 0) < 0) {
    return Status::Error(PIC_ERROR_MEMORY, "no sound buffer");
  }
  const int made = swr_convert(s.swr, converted, out_count, &input, static_cast<int>(block.samples));
  Status st;
  if (made < 0) {
    st = Status::Error(PIC_ERROR_FORMAT_SPECIAL, "sound conversion failed");
  } else if (av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(converted), made) < made) {
    st = Status::Error(PIC_ERROR_MEMORY, "no sound buffer");
  }
  av_freep(&converted[0]);
  av_freep(&converted);
  return st.ok() ? s.EncodeBufferedSound(false) : st;
}

Status MovieWriter::Finish() {
  if (!s_) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "movie not open");
  Status st = FinishVideo();
  State& s = *s_;
  if (st.ok() && s.sound) {
    st = s.EncodeBufferedSound(true);
    if (st.ok()) st = s.Encode(s.sound, s.sound_stream, nullptr);
  }
  if (st.ok()) {
    if (int rc = av_write_trailer(s.fmt); rc < 0) st = Status::Error(PIC_ERROR_FILE_WRITE, "muxer: " + AvText(rc));
  }
  if (st.ok()) {
    avio_flush(s.io);
    if (s.io->error < 0) st = Status::Error(PIC_ERROR_FILE_WRITE, "cannot write the movie");
  }
  if (st.ok()) st = s.out.Commit();
  s_.reset();
  return st;
}

void MovieWriter::Abort() { s_.reset(); }

}  // namespace formats
