// Reads any file libavformat reads: pictures by frame number at the file's frame rate,
// converted by swscale straight into the picture's bottom-up rows, and the sound track.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstring>
#include <list>
#include <mutex>

#include "movie.h"
#include "safe_file.h"

namespace formats {
namespace {

std::string AvText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// Sound blocks larger than this are refused before they are made.
constexpr double kMaxSoundBytes = 512.0 * 1024 * 1024;
// Decoding forward beats seeking for gaps up to this many frames.
constexpr int32_t kForwardLimit = 48;

}  // namespace

struct MovieReader::State {
  std::string file;
  MovieInfo info;
  AVFormatContext* fmt = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* sound = nullptr;
  int video_index = -1, sound_index = -1;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* sws = nullptr;
  int64_t current = -1;  // frame number held in `frame`, -1 for none
  bool ended = false;

  ~State() {
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    av_frame_free(&frame);
    av_packet_free(&packet);
    sws_freeContext(sws);
    avformat_close_input(&fmt);
  }

  AVStream* video_stream() const { return fmt->streams[video_index]; }

  int64_t FrameOf(int64_t pts) const {
    const AVStream* st = video_stream();
    const int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
    const double seconds = static_cast<double>(pts - start) * av_q2d(st->time_base);
    return static_cast<int64_t>(std::floor(seconds * info.fps + 0.5));
  }

  Status OpenDecoder(int index, AVCodecContext** out) {
    const AVCodecParameters* par = fmt->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (codec == nullptr) return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "no decoder");
    *out = avcodec_alloc_context3(codec);
    if (*out == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no decoder");
    avcodec_parameters_to_context(*out, par);
    (*out)->thread_count = 0;
    if (int rc = avcodec_open2(*out, codec, nullptr); rc < 0) {
      return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "decoder: " + AvText(rc));
    }
    return Status::Ok();
  }

  // The next picture of the stream into `frame`; false at the end or on a fault.
  bool DecodeNext(Status* status) {
    for (;;) {
      int rc = avcodec_receive_frame(video, frame);
      if (rc == 0) {
        const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE
                                ? frame->best_effort_timestamp
                                : frame->pts;
        current = pts == AV_NOPTS_VALUE ? current + 1 : FrameOf(pts);
        return true;
      }
      if (rc == AVERROR_EOF) return ended = true, false;
      if (rc != AVERROR(EAGAIN)) {
        *status = Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "decoder: " + AvText(rc));
        return false;
      }
      // Feed the decoder.
      for (;;) {
        rc = av_read_frame(fmt, packet);
        if (rc < 0) {
          avcodec_send_packet(video, nullptr);
          break;
        }
        const bool ours = packet->stream_index == video_index;
        if (ours) rc = avcodec_send_packet(video, packet);
        av_packet_unref(packet);
        if (ours) {
          if (rc < 0 && rc != AVERROR(EAGAIN)) {
            *status = Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "decoder: " + AvText(rc));
            return false;
          }
          break;
        }
      }
    }
  }

  Status Seek(int32_t target) {
    const AVStream* st = video_stream();
    const int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
    const int64_t ts =
        start + static_cast<int64_t>(std::floor(target / info.fps / av_q2d(st->time_base)));
    if (av_seek_frame(fmt, video_index, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(fmt, video_index, start, AVSEEK_FLAG_BACKWARD) < 0) {
      return Status::Error(PIC_ERROR_FILE_READ, "cannot seek");
    }
    avcodec_flush_buffers(video);
    current = -1;
    ended = false;
    return Status::Ok();
  }
};

MovieReader::MovieReader() = default;
MovieReader::~MovieReader() = default;

const std::string& MovieReader::file() const { return s_->file; }
const MovieInfo& MovieReader::info() const { return s_->info; }

Status MovieReader::Open(const std::string& file) {
  // Encoder statistics and demuxer notes are not the user's concern; faults come back as results.
  av_log_set_level(AV_LOG_ERROR);
  s_.reset();
  if (Status st = CheckRegularFile(file); !st.ok()) return st;
  auto s = std::make_unique<State>();
  s->file = file;
  if (int rc = avformat_open_input(&s->fmt, file.c_str(), nullptr, nullptr); rc < 0) {
    return Status::Error(PIC_ERROR_FORMAT_TYPE, "cannot read " + file + ": " + AvText(rc));
  }
  if (int rc = avformat_find_stream_info(s->fmt, nullptr); rc < 0) {
    return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "no streams: " + AvText(rc));
  }
  s->video_index = av_find_best_stream(s->fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  s->sound_index = av_find_best_stream(s->fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (s->video_index < 0 && s->sound_index < 0) {
    return Status::Error(PIC_ERROR_FORMAT_TYPE, "no pictures or sound in " + file);
  }
  if (s->video_index >= 0 &&
      (s->fmt->streams[s->video_index]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    s->video_index = -1;
  }
  if (s->video_index >= 0) {
    AVStream* st = s->fmt->streams[s->video_index];
    const AVCodecParameters* par = st->codecpar;
    if (par->width < 1 || par->height < 1) return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "no picture size");
    if (par->width > kMaxPictureSide || par->height > kMaxPictureSide) {
      return Status::Error(PIC_ERROR_MEMORY, "pictures larger than 4096 x 4096");
    }
    AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    s->info.fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 25.0;
    if (!(s->info.fps > 0.1 && s->info.fps < 1000)) s->info.fps = 25.0;
    s->info.width = par->width;
    s->info.height = par->height;
    int64_t frames = st->nb_frames;
    if (frames <= 0) {
      const double seconds = st->duration != AV_NOPTS_VALUE
                                 ? st->duration * av_q2d(st->time_base)
                                 : s->fmt->duration > 0 ? s->fmt->duration / double(AV_TIME_BASE) : 0;
      frames = static_cast<int64_t>(std::floor(seconds * s->info.fps + 0.5));
    }
    s->info.frames = static_cast<int32_t>(std::clamp<int64_t>(frames, 1, INT32_MAX));
    if (Status st2 = s->OpenDecoder(s->video_index, &s->video); !st2.ok()) return st2;
  }
  if (s->sound_index >= 0) {
    AVStream* st = s->fmt->streams[s->sound_index];
    const AVCodecParameters* par = st->codecpar;
    if (par->sample_rate > 0 && par->sample_rate <= 384000 && par->ch_layout.nb_channels > 0 &&
        par->ch_layout.nb_channels <= 16) {
      s->info.sample_rate = par->sample_rate;
      s->info.channels = par->ch_layout.nb_channels;
      const double seconds = st->duration != AV_NOPTS_VALUE
                                 ? st->duration * av_q2d(st->time_base)
                                 : s->fmt->duration > 0 ? s->fmt->duration / double(AV_TIME_BASE) : 0;
      s->info.samples = static_cast<int64_t>(std::floor(seconds * par->sample_rate + 0.5));
    } else {
      s->sound_index = -1;
    }
  }
  s->frame = av_frame_alloc();
  s->packet = av_packet_alloc();
  if (s->frame == nullptr || s->packet == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no frame");
  s_ = std::move(s);
  return Status::Ok();
}

Status MovieReader::ReadFrame(int32_t frame, PicOwner* out) {
  State& s = *s_;
  if (s.video == nullptr) return Status::Error(PIC_ERROR_FORMAT_TYPE, "no pictures in " + s.file);
  if (frame < 0) return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "negative frame number");
  Status status;
  if (s.current != frame) {
    const bool forward = s.current >= 0 && frame > s.current && frame - s.current <= kForwardLimit;
    if (!forward) {
      if (Status st = s.Seek(frame); !st.ok()) return st;
    }
    bool have = false;
    while (!have) {
      if (!s.DecodeNext(&status)) {
        if (!status.ok()) return status;
        return Status::Error(PIC_ERROR_FILE_READ, "frame " + std::to_string(frame) +
                                                      " is past the end of " + s.file);
      }
      have = s.current >= frame;
    }
  }
  const AVFrame* f = s.frame;
  if (f->width < 1 || f->height < 1 || f->width > kMaxPictureSide || f->height > kMaxPictureSide) {
    return Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "decoded picture of a bad size");
  }
  PIC* pic = NewPicture(f->width, f->height, &status);
  if (pic == nullptr) return status;
  out->reset(pic);
  const auto format = static_cast<AVPixelFormat>(f->format);
  if (format == AV_PIX_FMT_BGRA) {
    for (int32_t y = 0; y < f->height; ++y) {
      std::memcpy(TopRow(pic, y), f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0],
                  static_cast<size_t>(f->width) * 4);
    }
    return Status::Ok();
  }
  s.sws = sws_getCachedContext(s.sws, f->width, f->height, format, f->width, f->height,
                               AV_PIX_FMT_BGRA,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                               nullptr, nullptr);
  if (s.sws == nullptr) {
    out->reset(nullptr);
    return Status::Error(PIC_ERROR_FORMAT_UNSUPPORTED, "no converter for this pixel format");
  }
  const bool is_yuv = !(av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_RGB);
  if (is_yuv) {
    const int space = f->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    const int* coefficients = sws_getCoefficients(space);
    const int full = f->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    sws_setColorspaceDetails(s.sws, coefficients, full, coefficients, 1, 0, 1 << 16, 1 << 16);
  }
  uint8_t* dest[1] = {TopRow(pic, 0)};
  const int stride[1] = {-f->width * 4};
  sws_scale(s.sws, f->data, f->linesize, 0, f->height, dest, stride);
  return Status::Ok();
}

Status MovieReader::ReadSound(float from, float to, SoundBlock** block) {
  State& s = *s_;
  *block = nullptr;
  if (s.sound_index < 0) return Status::Error(PIC_ERROR_FORMAT_TYPE, "no sound in " + s.file);
  if (!(from >= 0) || !(to > from) || to > 7200.0f) {
    return Status::Error(PIC_ERROR_FORMAT_SPECIAL, "bad sound span");
  }
  const int32_t rate = s.info.sample_rate, channels = s.info.channels;
  if ((to - from) * double(rate) * channels * 2 > kMaxSoundBytes) {
    return Status::Error(PIC_ERROR_MEMORY, "sound span too long");
  }
  SoundBlock* out = HostSoundCreate(from, to, rate, 2, channels);
  if (out == nullptr) return Status::Error(PIC_ERROR_MEMORY, "no sound block");
  AVCodecContext* codec = nullptr;
  Status st = s.OpenDecoder(s.sound_index, &codec);
  SwrContext* swr = nullptr;
  AVChannelLayout layout;
  av_channel_layout_default(&layout, channels);
  if (st.ok() && (swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, rate, &codec->ch_layout,
                                      codec->sample_fmt, codec->sample_rate, 0, nullptr) < 0 ||
                  swr_init(swr) < 0)) {
    st = Status::Error(PIC_ERROR_FORMAT_SPECIAL, "no sound converter");
  }
  AVStream* stream = s.fmt->streams[s.sound_index];
  const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  if (st.ok()) {
    // Seeks land on packet boundaries that some formats (MP3) time loosely: seek to a
    // second early and let the time stamps place the samples.
    const double at = std::max(0.0, double(from) - 1.0);
    av_seek_frame(s.fmt, s.sound_index, start + static_cast<int64_t>(at / av_q2d(stream->time_base)),
                  AVSEEK_FLAG_BACKWARD);
  }
  // Samples are placed by their own time stamps, so a seek that lands early is harmless.
  const int64_t first = static_cast<int64_t>(std::trunc(from * double(rate) + 0.0001));
  const size_t frame_bytes = static_cast<size_t>(channels) * 2;
  std::vector<uint8_t> converted;
  AVFrame* frame = av_frame_alloc();
  s.current = -1;  // the next picture read seeks again
  int64_t position = -1;  // sample number of the next converted sample
  bool done = !st.ok() || frame == nullptr;
  while (!done) {
    int rc = av_read_frame(s.fmt, s.packet);
    if (rc < 0) {
      avcodec_send_packet(codec, nullptr);
    } else if (s.packet->stream_index != s.sound_index) {
      av_packet_unref(s.packet);
      continue;
    } else {
      avcodec_send_packet(codec, s.packet);
      av_packet_unref(s.packet);
    }
    while ((rc = avcodec_receive_frame(codec, frame)) == 0) {
      if (position < 0) {
        const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : start;
        position = static_cast<int64_t>(std::floor((pts - start) * av_q2d(stream->time_base) * rate + 0.5));
      }
      const int room = swr_get_out_samples(swr, frame->nb_samples);
      converted.resize(static_cast<size_t>(std::max(room, 0)) * frame_bytes);
      uint8_t* dest = converted.data();
      const int made = swr_convert(swr, &dest, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      for (int i = 0; i < made; ++i, ++position) {
        const int64_t at = position - first;
        if (at >= 0 && at < static_cast<int64_t>(out->samples)) {
          std::memcpy(out->data + at * frame_bytes, converted.data() + i * frame_bytes, frame_bytes);
        }
      }
      if (position - first >= static_cast<int64_t>(out->samples)) done = true;
    }
    if (rc == AVERROR_EOF || (rc < 0 && rc != AVERROR(EAGAIN))) done = true;
  }
  av_frame_free(&frame);
  swr_free(&swr);
  avcodec_free_context(&codec);
  if (!st.ok()) {
    HostSoundFree(out);
    return st;
  }
  *block = out;
  return Status::Ok();
}

namespace {

struct IdleReader {
  std::string identity;
  std::unique_ptr<MovieReader> reader;
};
std::mutex g_idle_mutex;
std::list<IdleReader> g_idle;
constexpr size_t kMaxIdle = 8;

// The path with the file's size and time: a file rewritten meanwhile is opened afresh.
std::string Identity(const std::string& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  const auto time = std::filesystem::last_write_time(file, ec);
  return file + '\n' + std::to_string(size) + '\n' +
         std::to_string(time.time_since_epoch().count());
}

}  // namespace

std::unique_ptr<MovieReader> MovieReaderTake(const std::string& file, Status* status) {
  const std::string identity = Identity(file);
  {
    std::lock_guard lock(g_idle_mutex);
    for (auto it = g_idle.begin(); it != g_idle.end(); ++it) {
      if (it->identity == identity) {
        auto reader = std::move(it->reader);
        g_idle.erase(it);
        return reader;
      }
    }
  }
  auto reader = std::make_unique<MovieReader>();
  *status = reader->Open(file);
  if (!status->ok()) return nullptr;
  return reader;
}

void MovieReaderGive(std::unique_ptr<MovieReader> reader) {
  if (!reader) return;
  std::string identity = Identity(reader->file());
  std::lock_guard lock(g_idle_mutex);
  g_idle.push_front({std::move(identity), std::move(reader)});
  if (g_idle.size() > kMaxIdle) g_idle.pop_back();
}

}  // namespace formats
