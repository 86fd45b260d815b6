#include "VideoWriter.h"

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace mv::render {

struct VideoWriter::State {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  SwsContext* toYuv = nullptr;
  SwrContext* toPlanar = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  int width = 0, height = 0;
  std::int64_t videoPts = 0;
  std::int64_t audioPts = 0;
  std::vector<float> pending;  // interleaved stereo not yet encoded
  bool headerWritten = false;

  ~State() {
    sws_freeContext(toYuv);
    swr_free(&toPlanar);
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  bool Drain(AVCodecContext* codec, AVStream* stream) {
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

namespace {
std::string AvError(int code) {
  char b[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, b, sizeof b);
  return b;
}
}  // namespace

bool VideoWriter::Open(const std::filesystem::path& file, int width, int height, int fps, int sampleRate,
                       std::string& error) {
  m_s = std::make_unique<State>();
  State& s = *m_s;
  s.width = width;
  s.height = height;
  if (width <= 0 || height <= 0 || width % 2 || height % 2) {
    error = "the video size must be even";
    return false;
  }
  int r = avformat_alloc_output_context2(&s.format, nullptr, "mp4", file.string().c_str());
  if (r < 0 || !s.format) {
    error = "no MP4 muxer: " + AvError(r);
    return false;
  }
  const AVCodec* vc = avcodec_find_encoder_by_name("libx264");
  if (!vc) vc = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (!vc) vc = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  const AVCodec* ac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!vc || !ac) {
    error = "FFmpeg has no H.264, MPEG-4 or AAC encoder";
    return false;
  }
  m_codecName = vc->name;

  s.videoStream = avformat_new_stream(s.format, nullptr);
  s.video = avcodec_alloc_context3(vc);
  s.video->width = width;
  s.video->height = height;
  s.video->time_base = AVRational{1, fps};
  s.video->framerate = AVRational{fps, 1};
  s.video->pix_fmt = AV_PIX_FMT_YUV420P;
  s.video->gop_size = fps * 2;
  s.video->max_b_frames = 0;
  // One thread: the same show gives the same file.
  s.video->thread_count = 1;
  if (std::string(vc->name) == "libx264") {
    av_opt_set(s.video->priv_data, "preset", "veryfast", 0);
    av_opt_set(s.video->priv_data, "crf", "20", 0);
  } else {
    s.video->bit_rate = std::int64_t(width) * height * fps / 4;
  }
  if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if ((r = avcodec_open2(s.video, vc, nullptr)) < 0) {
    error = std::string("cannot open the ") + vc->name + " encoder: " + AvError(r);
    return false;
  }
  avcodec_parameters_from_context(s.videoStream->codecpar, s.video);
  s.videoStream->time_base = s.video->time_base;

  s.audioStream = avformat_new_stream(s.format, nullptr);
  s.audio = avcodec_alloc_context3(ac);
  s.audio->sample_rate = sampleRate;
  s.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&s.audio->ch_layout, 2);
  s.audio->bit_rate = 192000;
  s.audio->time_base = AVRational{1, sampleRate};
  if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if ((r = avcodec_open2(s.audio, ac, nullptr)) < 0) {
    error = "cannot open the AAC encoder: " + AvError(r);
    return false;
  }
  avcodec_parameters_from_context(s.audioStream->codecpar, s.audio);
  s.audioStream->time_base = s.audio->time_base;

  s.toYuv = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                           nullptr, nullptr);
  AVChannelLayout stereo;
  av_channel_layout_default(&stereo, 2);
  swr_alloc_set_opts2(&s.toPlanar, &stereo, AV_SAMPLE_FMT_FLTP, sampleRate, &stereo, AV_SAMPLE_FMT_FLT, sampleRate, 0,
                      nullptr);
  if (!s.toYuv || !s.toPlanar || swr_init(s.toPlanar) < 0) {
    error = "cannot set up the picture or sound conversion";
    return false;
  }
  s.picture = av_frame_alloc();
  s.picture->format = AV_PIX_FMT_YUV420P;
  s.picture->width = width;
  s.picture->height = height;
  s.sound = av_frame_alloc();
  s.sound->format = AV_SAMPLE_FMT_FLTP;
  av_channel_layout_copy(&s.sound->ch_layout, &s.audio->ch_layout);
  s.sound->sample_rate = sampleRate;
  s.sound->nb_samples = s.audio->frame_size > 0 ? s.audio->frame_size : 1024;
  s.packet = av_packet_alloc();
  if (av_frame_get_buffer(s.picture, 0) < 0 || av_frame_get_buffer(s.sound, 0) < 0 || !s.packet) {
    error = "out of memory";
    return false;
  }
  if (!(s.format->oformat->flags & AVFMT_NOFILE) &&
      (r = avio_open(&s.format->pb, file.string().c_str(), AVIO_FLAG_WRITE)) < 0) {
    error = "cannot write " + file.string() + ": " + AvError(r);
    return false;
  }
  if ((r = avformat_write_header(s.format, nullptr)) < 0) {
    error = "cannot write the MP4 header: " + AvError(r);
    return false;
  }
  s.headerWritten = true;
  return true;
}

bool VideoWriter::AddVideoFrame(const std::uint8_t* rgba) {
  State& s = *m_s;
  if (av_frame_make_writable(s.picture) < 0) return false;
  const std::uint8_t* src[1] = {rgba};
  const int stride[1] = {s.width * 4};
  sws_scale(s.toYuv, src, stride, 0, s.height, s.picture->data, s.picture->linesize);
  s.picture->pts = s.videoPts++;
  return avcodec_send_frame(s.video, s.picture) >= 0 && s.Drain(s.video, s.videoStream);
}

bool VideoWriter::EncodeAudioFrame(bool flush) {
  State& s = *m_s;
  const int n = s.sound->nb_samples;
  const int have = int(s.pending.size() / 2);
  if (have == 0) return true;
  if (have < n && !flush) return true;
  const int take = std::min(have, n);
  if (av_frame_make_writable(s.sound) < 0) return false;
  const std::uint8_t* in[1] = {reinterpret_cast<const std::uint8_t*>(s.pending.data())};
  s.sound->nb_samples = take;
  if (swr_convert(s.toPlanar, s.sound->data, take, in, take) < 0) return false;
  s.sound->pts = s.audioPts;
  s.audioPts += take;
  s.pending.erase(s.pending.begin(), s.pending.begin() + std::ptrdiff_t(take) * 2);
  const bool ok = avcodec_send_frame(s.audio, s.sound) >= 0 && s.Drain(s.audio, s.audioStream);
  s.sound->nb_samples = n;
  return ok;
}

bool VideoWriter::AddAudio(const float* stereo, int frames) {
  State& s = *m_s;
  s.pending.insert(s.pending.end(), stereo, stereo + std::ptrdiff_t(frames) * 2);
  while (int(s.pending.size() / 2) >= s.sound->nb_samples)
    if (!EncodeAudioFrame(false)) return false;
  return true;
}

bool VideoWriter::Close(std::string& error) {
  if (!m_s || !m_s->headerWritten) return false;
  State& s = *m_s;
  bool ok = EncodeAudioFrame(true);
  ok = avcodec_send_frame(s.video, nullptr) >= 0 && s.Drain(s.video, s.videoStream) && ok;
  ok = avcodec_send_frame(s.audio, nullptr) >= 0 && s.Drain(s.audio, s.audioStream) && ok;
  ok = av_write_trailer(s.format) >= 0 && ok;
  if (!ok) error = "encoding failed";
  m_s.reset();
  return ok;
}

VideoProbe ProbeVideo(const std::filesystem::path& file) {
  VideoProbe p;
  AVFormatContext* f = nullptr;
  if (avformat_open_input(&f, file.string().c_str(), nullptr, nullptr) < 0) return p;
  if (avformat_find_stream_info(f, nullptr) < 0) {
    avformat_close_input(&f);
    return p;
  }
  int vi = av_find_best_stream(f, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  int ai = av_find_best_stream(f, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  AVCodecContext* dec = nullptr;
  if (ai >= 0) {
    const AVCodec* c = avcodec_find_decoder(f->streams[ai]->codecpar->codec_id);
    dec = c ? avcodec_alloc_context3(c) : nullptr;
    if (dec && (avcodec_parameters_to_context(dec, f->streams[ai]->codecpar) < 0 || avcodec_open2(dec, c, nullptr) < 0))
      avcodec_free_context(&dec);
    p.audioCodec = c ? c->name : "";
    p.sampleRate = f->streams[ai]->codecpar->sample_rate;
  }
  std::int64_t samples = 0;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::int64_t lastPts = 0, lastDuration = 0, firstPts = AV_NOPTS_VALUE;
  auto receive = [&] {
    while (avcodec_receive_frame(dec, frame) >= 0) {
      samples += frame->nb_samples;
      if (frame->format == AV_SAMPLE_FMT_FLTP)
        for (int ch = 0; ch < frame->ch_layout.nb_channels; ++ch) {
          const float* d = reinterpret_cast<const float*>(frame->extended_data[ch]);
          for (int i = 0; i < frame->nb_samples; ++i) p.audioPeak = std::max(p.audioPeak, double(std::fabs(d[i])));
        }
    }
  };
  while (av_read_frame(f, pkt) >= 0) {
    if (pkt->stream_index == vi) {
      ++p.videoFrames;
      if (firstPts == AV_NOPTS_VALUE || pkt->pts < firstPts) firstPts = pkt->pts;
      if (pkt->pts >= lastPts) lastPts = pkt->pts, lastDuration = pkt->duration;
    } else if (pkt->stream_index == ai && dec) {
      if (avcodec_send_packet(dec, pkt) >= 0) receive();
    }
    av_packet_unref(pkt);
  }
  if (dec) {
    avcodec_send_packet(dec, nullptr);
    receive();
  }
  if (vi >= 0) {
    const AVStream* v = f->streams[vi];
    p.width = v->codecpar->width;
    p.height = v->codecpar->height;
    p.fps = av_q2d(v->avg_frame_rate);
    p.videoCodec = avcodec_get_name(v->codecpar->codec_id);
    if (firstPts != AV_NOPTS_VALUE) p.durationSeconds = double(lastPts + lastDuration - firstPts) * av_q2d(v->time_base);
  }
  if (p.sampleRate > 0) p.audioSeconds = double(samples) / p.sampleRate;
  p.ok = vi >= 0;
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&dec);
  avformat_close_input(&f);
  return p;
}

}  // namespace mv::render
