#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "AudioFixtures.h"
#include "audio/Decoders.h"
#include "audio/SoundSystem.h"
#include "audio/BandAnalysis.h"

using namespace mv::audio;
using audiotest::kBinHz;

namespace {

struct OfflineSystem {
  SoundSystem system{SoundBackend::Offline};
  OfflineSystem() {
    EXPECT_TRUE(system.Init(kOutputRate, 2, 0));
    system.SetFftActive(true);
  }
};

int PeakBin(const float* spectrum) {
  return int(std::max_element(spectrum, spectrum + kSpectrumSize) - spectrum);
}

double Rms(const std::vector<float>& v) {
  double sum = 0;
  for (float x : v) sum += double(x) * x;
  return v.empty() ? 0.0 : std::sqrt(sum / double(v.size()));
}

// Decodes up to `frames` stereo frames of a file; empty when it does not open.
std::vector<float> DecodeFile(const std::filesystem::path& path, long frames) {
  DecoderError error;
  auto decoder = OpenDecoder(path, kOutputRate, &error);
  if (!decoder) return {};
  std::vector<float> out(std::size_t(frames) * 2);
  long made = 0;
  while (made < frames) {
    long got = decoder->Read(out.data() + made * 2, frames - made);
    if (got <= 0) break;
    made += got;
  }
  out.resize(std::size_t(made) * 2);
  return out;
}

}  // namespace

TEST(SoundErrors, TextsByCode) {
  EXPECT_STREQ(SoundErrorText(0), "No errors");
  EXPECT_STREQ(SoundErrorText(1),
               "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
  EXPECT_STREQ(SoundErrorText(6), "Soundcard does not support the features needed for this "
                                  "soundsystem (16bit stereo output)");
  EXPECT_STREQ(SoundErrorText(12), "Not enough memory ");
  EXPECT_STREQ(SoundErrorText(17), "Recording not supported on this device");
  EXPECT_STREQ(SoundErrorText(18), "Required Mediaplayer codec is not installed");
  EXPECT_STREQ(SoundErrorText(19), "Unknown error");
  EXPECT_STREQ(SoundErrorText(-1), "Unknown error");
}

TEST(SoundSystem, NothingWorksBeforeInit) {
  SoundSystem system(SoundBackend::Offline);
  system.SetFftActive(true);
  EXPECT_FLOAT_EQ(system.GetVersion(), 3.6f);
  EXPECT_EQ(system.GetSpectrum(), nullptr);
  EXPECT_EQ(system.StreamOpenFile("missing.wav", kModeStreamNormal, 0), 0);
  EXPECT_EQ(system.GetError(), kSoundErrUninitialized);
  EXPECT_EQ(system.StreamPlay(0, 1), -1);
  EXPECT_FALSE(system.IsPlaying(0));
}

TEST(SoundSystem, SettingsOnlyBeforeInit) {
  SoundSystem system(SoundBackend::Offline);
  EXPECT_TRUE(system.SetBufferSize(50));
  EXPECT_TRUE(system.SetMixer(7));
  ASSERT_TRUE(system.Init(kOutputRate, 2, 0));
  EXPECT_FALSE(system.SetBufferSize(50));
  EXPECT_EQ(system.GetError(), kSoundErrBusy);
  EXPECT_FALSE(system.Init(kOutputRate, 2, 0));
  system.Close();
  EXPECT_FALSE(system.IsInitialized());
  EXPECT_TRUE(system.Init(kOutputRate, 2, 0));
}

TEST(SoundSystem, SpectrumNeedsSomethingPlayingAndTheFftUnit) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.0,
                                   20 * kBinHz));
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
  ASSERT_NE(h, 0);
  EXPECT_EQ(o.system.GetSpectrum(), nullptr);  // open, not playing
  ASSERT_EQ(o.system.StreamPlay(0, h), 0);
  o.system.Advance(0.1);
  EXPECT_NE(o.system.GetSpectrum(), nullptr);
  o.system.SetFftActive(false);
  EXPECT_EQ(o.system.GetSpectrum(), nullptr);
  o.system.SetFftActive(true);
  o.system.StreamStop(h);
  EXPECT_EQ(o.system.GetSpectrum(), nullptr);
}

// A full-scale sine centred on a bin reads about its amplitude there, and
// its band is the loudest; through every rate conversion too.
TEST(SoundSystem, SineLandsInItsBinAndBand) {
  audiotest::ScratchFolder folder;
  struct Case {
    int bin;
    int band;
    int rate;
    float tolerance;
  };
  const Case cases[] = {{20, 20, 44100, 0.03f}, {45, 39, 44100, 0.03f}, {240, 56, 44100, 0.03f},
                        {20, 20, 48000, 0.03f}, {100, 47, 22050, 0.03f}, {240, 56, 96000, 0.03f}};
  for (const Case& c : cases) {
    SCOPED_TRACE("bin " + std::to_string(c.bin) + " rate " + std::to_string(c.rate));
    std::string name = "sine" + std::to_string(c.bin) + "_" + std::to_string(c.rate) + ".wav";
    ASSERT_TRUE(audiotest::WriteSine(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, c.rate, 2, 1.0,
                                     c.bin * kBinHz, 1.0));
    OfflineSystem o;
    StreamHandle h = o.system.StreamOpenFile(name, kModeStreamNormal, 0);
    ASSERT_NE(h, 0);
    o.system.StreamPlay(0, h);
    o.system.Advance(0.2);
    const float* spectrum = o.system.GetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    EXPECT_EQ(PeakBin(spectrum), c.bin);
    EXPECT_NEAR(spectrum[c.bin], 1.0f, c.tolerance);
    EXPECT_NEAR(spectrum[c.bin + 1] / spectrum[c.bin], 0.5f, 0.02f);  // Hann neighbour
    EXPECT_LT(spectrum[c.bin + 5], 0.01f);
    SpectrumBands bands;
    AnalyseBands(spectrum, bands);
    EXPECT_EQ(std::max_element(bands.bands.begin(), bands.bands.end()) - bands.bands.begin(),
              c.band);
  }
}

// What one file gives through the offline mixer: the spectrum after `seconds`.
std::vector<float> SpectrumOf(const std::string& name, double seconds = 0.3) {
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile(name, kModeStreamNormal, 0);
  if (!h) return {};
  o.system.StreamPlay(0, h);
  o.system.Advance(seconds);
  const float* spectrum = o.system.GetSpectrum();
  if (!spectrum) return {};
  return std::vector<float>(spectrum, spectrum + kSpectrumSize);
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// A high tone keeps its level through every rate conversion: the same tone
// at 44.1 kHz (no conversion) is the reference, for the decoded signal, the
// spectrum's peak and the band.
TEST(Resampling, HighToneKeepsItsLevel) {
  audiotest::ScratchFolder folder;
  constexpr double kHz = 16000.0;
  ASSERT_TRUE(audiotest::WriteSine("ref.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 1.0, kHz));
  const std::vector<float> ref = SpectrumOf("ref.wav");
  ASSERT_FALSE(ref.empty());
  const int peak = PeakBin(ref.data());
  SpectrumBands refBands;
  AnalyseBands(ref.data(), refBands);
  int band = 0;
  while (BandEnd(band) <= peak) ++band;
  const double refRms = Rms(DecodeFile("ref.wav", 20000));
  for (int rate : {48000, 96000, 88200, 64000}) {
    SCOPED_TRACE(rate);
    std::string name = "tone" + std::to_string(rate) + ".wav";
    ASSERT_TRUE(audiotest::WriteSine(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, 2, 1.0, kHz));
    const std::vector<float> s = SpectrumOf(name);
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(PeakBin(s.data()), peak);
    EXPECT_NEAR(Db(s[std::size_t(peak)] / ref[std::size_t(peak)]), 0.0, 0.5);
    SpectrumBands bands;
    AnalyseBands(s.data(), bands);
    EXPECT_NEAR(Db(bands.bands[std::size_t(band)] / refBands.bands[std::size_t(band)]), 0.0, 0.5);
    // Past the filter's start-up, the decoded signal itself.
    std::vector<float> pcm = DecodeFile(name, 20000);
    ASSERT_EQ(pcm.size(), 40000u);
    pcm.erase(pcm.begin(), pcm.begin() + 4000);
    EXPECT_NEAR(Db(Rms(pcm) / refRms), 0.0, 0.5);
  }
}

// What lies above the output's Nyquist frequency is filtered out, not folded
// back into the upper bands.
TEST(Resampling, ToneAboveTheOutputRangeLeavesEveryBandDark) {
  audiotest::ScratchFolder folder;
  struct Case {
    int rate;
    double hz;
  };
  const Case cases[] = {{48000, 23000.0}, {96000, 30000.0}, {96000, 40000.0}, {88200, 25000.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz file, " + std::to_string(int(c.hz)) + " Hz tone");
    std::string name = "high" + std::to_string(c.rate) + "_" + std::to_string(int(c.hz)) + ".wav";
    ASSERT_TRUE(audiotest::WriteSine(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, c.rate, 2, 1.0, c.hz, 1.0));
    const std::vector<float> s = SpectrumOf(name);
    ASSERT_FALSE(s.empty());
    SpectrumBands bands;
    AnalyseBands(s.data(), bands);
    EXPECT_LT(*std::max_element(bands.bands.begin(), bands.bands.end()), 0.02f);
  }
}

// Through the resampler, a seek lands where reading from the start would
// have come, and a file lasts as long as it did at its own rate.
TEST(Resampling, SeekIsSampleExactAndLengthKept) {
  audiotest::ScratchFolder folder;
  for (int rate : {48000, 22050, 96000, 44101}) {
    SCOPED_TRACE(rate);
    std::string name = "s" + std::to_string(rate) + ".wav";
    ASSERT_TRUE(audiotest::WriteSine(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, 2, 1.0, 1234.5));
    const std::vector<float> whole = DecodeFile(name, 60000);
    EXPECT_NEAR(double(whole.size() / 2), 44100.0, 1.0);
    DecoderError error;
    auto decoder = OpenDecoder(name, kOutputRate, &error);
    ASSERT_TRUE(decoder);
    for (std::int64_t frame : {std::int64_t(12345), std::int64_t(777), std::int64_t(40000)}) {
      ASSERT_TRUE(decoder->Seek(frame));
      float out[64 * 2];
      ASSERT_EQ(decoder->Read(out, 64), 64);
      for (int i = 0; i < 64 * 2; ++i)
        ASSERT_NEAR(out[i], whole[std::size_t(frame) * 2 + std::size_t(i)], 1e-4) << "frame " << frame;
    }
  }
  // And against the source's own time: a quarter period of 441 Hz is the crest.
  ASSERT_TRUE(audiotest::WriteSine("crest.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 1.0, 441));
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("crest.wav", kModeStreamNormal, 0);
  o.system.StreamPlay(0, h);
  o.system.StreamSetPosition(h, 25 + 4400);  // 44 whole periods and a quarter
  std::vector<float> out(2);
  o.system.Mix(out.data(), 1);
  EXPECT_NEAR(out[0], 0.8f, 1e-3);
}

// A constant, written as a file (the music path) or fed as capture (a line
// input with an offset).
bool WriteConstant(const std::string& name, float value, double seconds) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(name.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<float> data(std::size_t(seconds * 44100) * 2, value);
  sf_writef_float(file, data.data(), sf_count_t(data.size() / 2));
  sf_close(file);
  return true;
}

// The high-pass in front of the spectrum: a DC offset over silence leaves
// every band dark (it held band 0 at 0.32 for an offset of 0.05), on the
// music path and on the live input.
TEST(HighPass, DcOffsetOverSilenceLeavesEveryBandDark) {
  audiotest::ScratchFolder folder;
  for (float offset : {0.05f, -0.2f, 0.5f}) {
    SCOPED_TRACE(offset);
    for (bool live : {false, true}) {
      SCOPED_TRACE(live ? "live input" : "music");
      OfflineSystem o;
      if (live) {
        SampleHandle s = o.system.SampleAlloc(0, 2205, kModeSample16Mono, 44100, 255, 128, 255);
        o.system.SampleSetMode(s, kModeLoopNormal);
        ASSERT_TRUE(o.system.RecordStartSample(s, true));
        ASSERT_GT(o.system.PlaySound(kFreeChannel, s), 0);
        std::vector<float> block(1764, offset);
        for (int frame = 0; frame < 10; ++frame) {
          o.system.FeedCapture(block.data(), block.size());
          o.system.Advance(0.04);
        }
      } else {
        ASSERT_TRUE(WriteConstant("dc.wav", offset, 1.0));
        StreamHandle h = o.system.StreamOpenFile("dc.wav", kModeStreamNormal, 0);
        ASSERT_NE(h, 0);
        o.system.StreamPlay(0, h);
        o.system.Advance(0.4);
      }
      const float* spectrum = o.system.GetSpectrum();
      ASSERT_NE(spectrum, nullptr);
      EXPECT_EQ(o.system.LastAnalysedSignal(), live ? AnalysedSignal::Capture : AnalysedSignal::Output);
      SpectrumBands bands;
      AnalyseBands(spectrum, bands);
      EXPECT_LT(*std::max_element(bands.bands.begin(), bands.bands.end()), 0.02f);
    }
  }
}

// ... and takes nothing from the bass: a full-scale sine centred on bin 1
// (43 Hz) or bin 2 still reads 1.0 there.
TEST(HighPass, BassBinsKeepTheirLevel) {
  audiotest::ScratchFolder folder;
  for (int bin : {1, 2, 3}) {
    SCOPED_TRACE(bin);
    std::string name = "bass" + std::to_string(bin) + ".wav";
    ASSERT_TRUE(audiotest::WriteSine(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 1.0,
                                     bin * kBinHz, 1.0));
    const std::vector<float> s = SpectrumOf(name, 0.5);
    ASSERT_FALSE(s.empty());
    EXPECT_NEAR(s[std::size_t(bin)], 1.0f, 0.005f);
  }
}

TEST(SoundSystem, MasterVolumeScalesOutputNotSpectrum) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 1.0,
                                   10 * kBinHz, 1.0));
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
  o.system.StreamPlay(0, h);
  std::vector<float> out(2048);
  o.system.SetSfxMasterVolume(255);
  o.system.Mix(out.data(), 1024);
  EXPECT_NEAR(Rms(out), 1.0 / std::sqrt(2.0), 0.02);
  o.system.SetSfxMasterVolume(0);
  o.system.Mix(out.data(), 1024);
  EXPECT_EQ(Rms(out), 0.0);
  const float* spectrum = o.system.GetSpectrum();
  ASSERT_NE(spectrum, nullptr);
  EXPECT_NEAR(spectrum[10], 1.0f, 0.03f);  // the visuals follow a muted output
  o.system.SetSfxMasterVolume(300);
  EXPECT_EQ(o.system.GetSfxMasterVolume(), 255);
}

TEST(SoundSystem, StreamTimeSeekAndEnd) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 1.0, 440));
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
  ASSERT_NE(h, 0);
  EXPECT_EQ(o.system.StreamGetTime(h), 0);
  o.system.StreamPlay(0, h);
  for (int i = 0; i < 10; ++i) o.system.Advance(0.04);  // ten frames
  EXPECT_EQ(o.system.StreamGetTime(h), 400);
  // Stop keeps the position; play resumes there.
  o.system.StreamStop(h);
  o.system.Advance(0.2);
  EXPECT_EQ(o.system.StreamGetTime(h), 400);
  EXPECT_FALSE(o.system.IsPlaying(0));
  o.system.StreamPlay(0, h);
  ASSERT_TRUE(o.system.StreamSetTime(h, 900));
  EXPECT_EQ(o.system.StreamGetTime(h), 900);
  EXPECT_TRUE(o.system.IsPlaying(0));
  o.system.Advance(0.2);  // past the 1 s end
  EXPECT_FALSE(o.system.IsPlaying(0));
  EXPECT_EQ(o.system.StreamGetTime(h), 1000);
  // Played through: playing again starts from the beginning.
  o.system.StreamPlay(0, h);
  EXPECT_EQ(o.system.StreamGetTime(h), 0);
  EXPECT_TRUE(o.system.IsPlaying(0));
  EXPECT_FALSE(o.system.StreamSetTime(h, -5));
  EXPECT_TRUE(o.system.StreamClose(h));
  EXPECT_FALSE(o.system.IsPlaying(0));
  EXPECT_EQ(o.system.StreamGetTime(h), -1);
  EXPECT_FALSE(o.system.StreamStop(h));
}

TEST(SoundSystem, SeekIsSampleExact) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 1.0, 441));
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
  o.system.StreamPlay(0, h);
  o.system.StreamSetPosition(h, 25);  // a quarter period of 441 Hz: the crest
  std::vector<float> out(2);
  o.system.Mix(out.data(), 1);
  EXPECT_NEAR(out[0], 0.8f, 1e-4);
}

TEST(SoundSystem, OfflineClockIsDeterministic) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 2.0, 1000));
  std::vector<float> first;
  for (int run = 0; run < 2; ++run) {
    OfflineSystem o;
    StreamHandle h = o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
    o.system.StreamPlay(0, h);
    for (int i = 0; i < 7; ++i) o.system.Advance(1.0 / 30.0);  // fractions carry over
    EXPECT_EQ(o.system.GetOutputClock().framesMixed, 7 * 44100 / 30);
    const float* s = o.system.GetSpectrum();
    ASSERT_NE(s, nullptr);
    std::vector<float> v(s, s + kSpectrumSize);
    if (run == 0) first = v;
    else EXPECT_EQ(v, first);
  }
}

TEST(Decoders, EveryFormatDecodesAShortFile) {
  audiotest::ScratchFolder folder;
  struct Case {
    const char* name;
    int format;
    int rate;
  };
  const Case cases[] = {
      {"t.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
      {"t.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100},
      {"t.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100},
      {"t.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
      {"t.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!audiotest::WriteSine(c.name, c.format, c.rate, 2, 0.5, 30 * kBinHz)) {
      // Only MP3 writing depends on how libsndfile was built.
      ASSERT_EQ(std::string(c.name), "t.mp3") << "libsndfile cannot write " << c.name;
      GTEST_SKIP() << "this libsndfile cannot write MPEG: MP3 decoding not checked";
    }
    auto pcm = DecodeFile(c.name, 44100);
    ASSERT_FALSE(pcm.empty());
    // Half a second, give or take codec padding.
    EXPECT_NEAR(double(pcm.size() / 2), 22050.0, 2500.0);
    EXPECT_NEAR(Rms(pcm), 0.8 / std::sqrt(2.0), 0.08);
    // And through the mixer: the tone sits in its bin.
    OfflineSystem o;
    StreamHandle h = o.system.StreamOpenFile(c.name, kModeStreamNormal, 0);
    ASSERT_NE(h, 0);
    o.system.StreamPlay(0, h);
    o.system.Advance(0.2);
    const float* spectrum = o.system.GetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    EXPECT_EQ(PeakBin(spectrum), 30);
  }
}

TEST(Decoders, TrackerModuleBuiltByteByByte) {
  audiotest::ScratchFolder folder;
  audiotest::WriteBytesTo("tune.mod", audiotest::MakeModule());
  auto pcm = DecodeFile("tune.mod", 22050);
  ASSERT_EQ(pcm.size(), 22050u * 2);
  EXPECT_GT(Rms(pcm), 0.05);
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("tune.mod", kModeStreamNormal, 0);
  ASSERT_NE(h, 0);
  o.system.StreamPlay(0, h);
  o.system.Advance(0.5);
  EXPECT_TRUE(o.system.IsPlaying(0));
  EXPECT_EQ(o.system.StreamGetTime(h), 500);
  ASSERT_NE(o.system.GetSpectrum(), nullptr);
}

TEST(Decoders, BadFilesOpenNothing) {
  audiotest::ScratchFolder folder;
  audiotest::WriteBytesTo("notes.txt", std::vector<std::uint8_t>(4000, 'a'));
  audiotest::WriteBytesTo("empty.wav", {});
  audiotest::WriteBytesTo("noise.wav", std::vector<std::uint8_t>(3000, 0x5A));
  auto mod = audiotest::MakeModule();
  mod.resize(600);  // cut inside the sample headers
  audiotest::WriteBytesTo("cut.mod", mod);
  audiotest::WriteBytesTo("garbage.xm", std::vector<std::uint8_t>(5000, 0x17));
  std::filesystem::create_directory("folder.wav");
  struct Case {
    const char* name;
    int error;
  };
  const Case cases[] = {{"missing.ogg", kSoundErrFileNotFound}, {"notes.txt", kSoundErrFileFormat},
                        {"empty.wav", kSoundErrFileFormat},     {"noise.wav", kSoundErrFileFormat},
                        {"cut.mod", kSoundErrFileBad},          {"garbage.xm", kSoundErrFileBad},
                        {"folder.wav", kSoundErrFileNotFound}};
  OfflineSystem o;
  for (const Case& c : cases) {
    EXPECT_EQ(o.system.StreamOpenFile(c.name, kModeStreamNormal, 0), 0) << c.name;
    EXPECT_EQ(o.system.GetError(), c.error) << c.name;
  }
}

TEST(Decoders, TruncatedFileEndsEarly) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("full.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.0, 500));
  ASSERT_TRUE(audiotest::WriteSine("full.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 1.0, 500));
  for (const char* name : {"full.wav", "full.flac"}) {
    SCOPED_TRACE(name);
    std::ifstream in(name, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(bytes.size() / 3);
    std::string cut = std::string("cut_") + name;
    audiotest::WriteBytesTo(cut, bytes);
    OfflineSystem o;
    StreamHandle h = o.system.StreamOpenFile(cut, kModeStreamNormal, 0);
    ASSERT_NE(h, 0);
    o.system.StreamPlay(0, h);
    o.system.Advance(0.2);
    EXPECT_TRUE(o.system.IsPlaying(0));
    o.system.Advance(1.0);
    EXPECT_FALSE(o.system.IsPlaying(0));  // ended like the end of the track
    EXPECT_LT(o.system.StreamGetTime(h), 600);
  }
}

// A decoder failing in the middle of a track ends it like its end.
TEST(Decoders, CorruptFramesEndTheTrack) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("f.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 2.0, 500));
  std::ifstream in("f.flac", std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  for (std::size_t i = bytes.size() / 2; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 131);
  audiotest::WriteBytesTo("bad.flac", bytes);
  OfflineSystem o;
  StreamHandle h = o.system.StreamOpenFile("bad.flac", kModeStreamNormal, 0);
  ASSERT_NE(h, 0);
  o.system.StreamPlay(0, h);
  for (int i = 0; i < 100 && o.system.IsPlaying(0); ++i) o.system.Advance(0.04);
  EXPECT_FALSE(o.system.IsPlaying(0));
  EXPECT_LE(o.system.StreamGetTime(h), 2000);
}

TEST(SoundSystem, LoopingSampleOnAFreeChannel) {
  OfflineSystem o;
  SampleHandle s = o.system.SampleAlloc(0, 2205, kModeSample16Mono, 44100, 255, 128, 255);
  ASSERT_NE(s, 0);
  EXPECT_FALSE(o.system.SampleSetLoopPoints(s, 0, 2206));
  EXPECT_TRUE(o.system.SampleSetLoopPoints(s, 0, 2205));
  EXPECT_TRUE(o.system.SampleSetMode(s, kModeLoopNormal));
  int channel = o.system.PlaySound(kFreeChannel, s);
  EXPECT_EQ(channel, 1);  // channel 0 carries the stream
  EXPECT_EQ(o.system.GetFrequency(channel), 44100);
  EXPECT_TRUE(o.system.IsPlaying(channel));
  // Two software channels: no second free one.
  EXPECT_EQ(o.system.PlaySound(kFreeChannel, s), -1);
  EXPECT_EQ(o.system.GetError(), kSoundErrChannelAlloc);
  o.system.Advance(1.0);
  EXPECT_TRUE(o.system.IsPlaying(channel));  // loops
  EXPECT_TRUE(o.system.StopSound(channel));
  EXPECT_FALSE(o.system.IsPlaying(channel));
  // Without a loop, it plays once.
  o.system.SampleSetMode(s, kModeLoopOff);
  channel = o.system.PlaySound(kFreeChannel, s);
  o.system.Advance(0.1);
  EXPECT_FALSE(o.system.IsPlaying(channel));
  EXPECT_EQ(o.system.SampleAlloc(0, 0, kModeSample16Mono, 44100, 255, 128, 255), 0);
}

TEST(SoundSystem, RecordedInputIsHeardThroughTheMonitorChannel) {
  OfflineSystem o;
  SampleHandle s = o.system.SampleAlloc(0, 2205, kModeSample16Mono, 44100, 255, 128, 255);
  o.system.SampleSetLoopPoints(s, 0, 2205);
  o.system.SampleSetMode(s, kModeLoopNormal);
  ASSERT_TRUE(o.system.RecordStartSample(s, true));
  EXPECT_TRUE(o.system.IsRecording());
  int channel = o.system.PlaySound(kFreeChannel, s);
  ASSERT_GT(channel, 0);
  // Feed a sine at bin 12 for a while, frame by frame, as a capture would.
  std::vector<float> block(1764);
  double phase = 0;
  for (int frame = 0; frame < 10; ++frame) {
    for (float& v : block) {
      v = float(0.7 * std::sin(phase));
      phase += 2 * std::numbers::pi * 12 * kBinHz / 44100.0;
    }
    o.system.FeedCapture(block.data(), block.size());
    o.system.Advance(0.04);
  }
  const float* spectrum = o.system.GetSpectrum();
  ASSERT_NE(spectrum, nullptr);
  EXPECT_EQ(PeakBin(spectrum), 12);
  EXPECT_TRUE(o.system.RecordStop());
  EXPECT_FALSE(o.system.IsRecording());
}

TEST(SoundSystem, StreamTableIsBounded) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 0.1, 440));
  OfflineSystem o;
  std::vector<StreamHandle> handles;
  for (int i = 0; i < 40; ++i) {
    StreamHandle h = o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
    if (!h) break;
    handles.push_back(h);
  }
  EXPECT_LT(handles.size(), 40u);
  EXPECT_EQ(o.system.GetError(), kSoundErrMemory);
  o.system.StreamClose(handles.front());
  EXPECT_NE(o.system.StreamOpenFile("s.wav", kModeStreamNormal, 0), 0);
}

// The device backend, on whatever SDL gives here (the dummy driver without
// a sound card): the music advances at real-time pace and is analysed.
TEST(SoundSystemDevice, PlaysAtRealTimePace) {
  audiotest::ScratchFolder folder;
  ASSERT_TRUE(audiotest::WriteSine("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 3.0,
                                   20 * kBinHz));
  SoundSystem system(SoundBackend::Device);
  system.SetBufferSize(50);
  ASSERT_TRUE(system.Init(kOutputRate, 2, 0)) << SoundErrorText(system.GetError());
  system.SetFftActive(true);
  StreamHandle h = system.StreamOpenFile("s.wav", kModeStreamNormal, 0);
  ASSERT_NE(h, 0);
  ASSERT_EQ(system.StreamPlay(0, h), 0);
  auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  int ms = system.StreamGetTime(h);
  auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(ms, 150);
  EXPECT_LT(ms, elapsed + 200);
  const float* spectrum = system.GetSpectrum();
  ASSERT_NE(spectrum, nullptr);
  EXPECT_EQ(PeakBin(spectrum), 20);
  // The analysed samples are never ahead of the output.
  EXPECT_LE(system.LastAnalysedFrame(), system.GetOutputClock().framesMixed);
  system.Close();
}

// Without a usable output the device backend falls back to the dummy
// driver: the music still plays and is analysed.
TEST(SoundSystemDevice, FallsBackToTheDummyDriver) {
  const char* saved = std::getenv("SDL_AUDIODRIVER");
  std::string previous = saved ? saved : "";
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SoundSystem system(SoundBackend::Device);
  bool ok = system.Init(kOutputRate, 2, 0);
  if (saved) ::setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
  else ::unsetenv("SDL_AUDIODRIVER");
  ASSERT_TRUE(ok);
  EXPECT_TRUE(system.UsesDummyDriver());
  EXPECT_GT(system.DeviceBufferFrames(), 0);
  EXPECT_LE(system.DeviceBufferFrames(), 2205);  // within the 50 ms buffer
  system.Close();
  // And the driver choice is not left forced for the next user.
  SoundSystem again(SoundBackend::Device);
  EXPECT_TRUE(again.Init(kOutputRate, 2, 0));
}
