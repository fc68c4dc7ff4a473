// Levels of known signals through known calibration records.

#include <gtest/gtest.h>

#include <cmath>

#include "MonitorTestSupport.h"
#include "calibration/ChannelScale.h"
#include "monitor/Fourier.h"

namespace varnel::monitor {
namespace {

using test::Accelerometer;
using test::Microphone;
using test::Sine;

// 1 Pa rms in dB re 20 uPa.
const double kOnePascal = 20 * std::log10(1.0 / 20e-6);

// Codes at the converter (peak) of a sine of `volts` peak at gain 1.
double CodesOfVolts(double volts) {
  return volts / 10.0 * 32768.0;
}

SpectrumPeak PeakOf(const std::vector<int16_t>& samples, double rate, const ChannelCalibration& half) {
  Spectrum spectrum;
  spectrum.Add(samples.data(), 1, samples.size());
  return FindPeak(spectrum, rate, ScaleOf(half, "Left"));
}

struct LevelCase {
  const char* what;
  ChannelCalibration half;
  double peakVolts;  // of the sine at the converter
  double expectedDb;
};

TEST(CalibratedLevel, AKiloHertzSineReadsItsLevelWithinATenthOfADecibel) {
  // 50 mV/Pa: 1 Pa rms is 70.7 mV peak, 94 dB SPL. 10 mV/G: 1 G rms is 14.1 mV peak.
  const double vPerG = 0.010 * std::sqrt(2.0);
  const double v1k = 9.80665 / (2 * M_PI * 1000.0);  // m/s of 1 G at 1 kHz
  const LevelCase cases[] = {
      {"microphone 1 Pa", Microphone(50.0f), 0.050 * std::sqrt(2.0), 20 * std::log10(1.0 / 20e-6)},
      {"microphone 10 Pa", Microphone(50.0f), 0.50 * std::sqrt(2.0), 20 * std::log10(10.0 / 20e-6)},
      {"microphone at gain 4", Microphone(50.0f, 4), 4 * 0.050 * std::sqrt(2.0), 20 * std::log10(1.0 / 20e-6)},
      {"accelerometer 1 G", Accelerometer(10.0f), vPerG, 0.0},
      {"accelerometer 5 G", Accelerometer(10.0f), 5 * vPerG, 20 * std::log10(5.0)},
      {"velocity mm/sec", Accelerometer(10.0f, 3, 1), vPerG, 20 * std::log10(v1k * 1000.0)},
      {"velocity in/sec", Accelerometer(10.0f, 2, 1), vPerG, 20 * std::log10(v1k / 0.0254)},
      {"displacement mils", Accelerometer(10.0f, 8, 2), vPerG, 20 * std::log10(v1k / (2 * M_PI * 1000.0) / 0.0000254)},
  };
  // Bin-centred (8192 Hz / 8192) and between bins (48 kHz / 8192: 170.67 bins).
  for (double rate : {8192.0, 48000.0, 44100.0}) {
    for (const LevelCase& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(rate));
      SpectrumPeak peak = PeakOf(Sine(8192, rate, 1000.0, CodesOfVolts(c.peakVolts)), rate, c.half);
      ASSERT_TRUE(peak.found);
      EXPECT_NEAR(1000.0, peak.frequency, 0.05 * rate / 8192);
      EXPECT_NEAR(c.expectedDb, peak.decibels, 0.1);
    }
  }
}

TEST(CalibratedLevel, ABinCentredSineReadsExactlyAndTheBinItselfToo) {
  const ChannelScale scale = ScaleOf(Microphone(50.0f), "Left");
  Spectrum spectrum;
  spectrum.SetAveraging(Averaging::None);
  const auto samples = Sine(8192, 8192.0, 1000.0, CodesOfVolts(0.0707107));
  spectrum.Add(samples.data(), 1, samples.size());
  EXPECT_NEAR(kOnePascal, scale.Decibels(spectrum.Codes(1000, scale.measure), 1000.0), 0.01);
  // Halfway between bins the bin alone loses Hann's scalloping, 1.42 dB.
  const auto between = Sine(8192, 8192.0, 1000.5, CodesOfVolts(0.0707107));
  spectrum.Add(between.data(), 1, between.size());
  EXPECT_NEAR(kOnePascal - 1.42, scale.Decibels(spectrum.Codes(1000, scale.measure), 1000.0), 0.02);
}

TEST(CalibratedLevel, DcAndNyquistBinsHoldTheirWholeComponent) {
  // A volt record (rms): 1 V rms reaches 0.1414 of full scale at its peak.
  ChannelCalibration volts = Microphone(1.0f);
  volts.RefUnits = 0;
  volts.PctFullScale = 0.1414f;
  const ChannelScale scale = ScaleOf(volts, "Left");
  const std::size_t n = 4096;
  // 2 V of DC: its rms is 2 V.
  std::vector<int16_t> dc(n, static_cast<int16_t>(CodesOfVolts(2.0)));
  Spectrum spectrum;
  spectrum.SetAveraging(Averaging::None);
  spectrum.Add(dc.data(), 1, n);
  EXPECT_NEAR(20 * std::log10(2.0), scale.Decibels(spectrum.Codes(0, scale.measure), 0.0), 0.01);
  // +-1 V alternating: a Nyquist tone of 1 V rms.
  std::vector<int16_t> nyquist(n);
  for (std::size_t i = 0; i < n; ++i) nyquist[i] = static_cast<int16_t>((i % 2 ? -1 : 1) * CodesOfVolts(1.0));
  spectrum.Add(nyquist.data(), 1, n);
  EXPECT_NEAR(0.0, scale.Decibels(spectrum.Codes(n / 2, scale.measure), 0.0), 0.01);
  SpectrumPeak peak = FindPeak(spectrum, 8000.0, scale);
  EXPECT_NEAR(4000.0, peak.frequency, 1e-9);
  // A peak measure reads the DC level and the Nyquist amplitude as they are.
  volts.RefType = 0;
  const ChannelScale peakScale = ScaleOf(volts, "Left");
  EXPECT_NEAR(CodesOfVolts(1.0), spectrum.Codes(n / 2, peakScale.measure), 1.0);
  // Integration has no level at DC.
  const ChannelScale velocity = ScaleOf(Accelerometer(10.0f, 3, 1), "Left");
  EXPECT_TRUE(std::isinf(velocity.Decibels(100.0, 0.0)));
}

TEST(CalibratedLevel, BlockLengthsThatAreAndAreNotPowersOfTwo) {
  const ChannelCalibration mic = Microphone(50.0f);
  for (std::size_t n : {1024u, 8192u, 65536u, 1000u, 12345u, 16383u, 65535u, 100000u}) {
    SCOPED_TRACE(n);
    SpectrumPeak peak = PeakOf(Sine(n, 44100.0, 1000.0, CodesOfVolts(0.0707107)), 44100.0, mic);
    EXPECT_NEAR(1000.0, peak.frequency, 0.05 * 44100.0 / n);
    EXPECT_NEAR(kOnePascal, peak.decibels, 0.1);
  }
}

TEST(CalibratedLevel, AChannelWithoutCalibrationReadsAgainstFullScale) {
  ChannelCalibration none{};
  const ChannelScale scale = ScaleOf(none, "Right");
  EXPECT_FALSE(scale.calibrated);
  EXPECT_EQ("Right", scale.name);
  EXPECT_EQ("dB re full scale", scale.logUnits);
  SpectrumPeak peak = PeakOf(Sine(8192, 8192.0, 500.0, 16384.0), 8192.0, none);
  EXPECT_NEAR(-6.02, peak.decibels, 0.02);
}

TEST(CalibratedLevel, UnitsNamesAndDecibelReferencesFollowTheRecord) {
  struct Case {
    ChannelCalibration half;
    double reference;
    const char* log;
  };
  ChannelCalibration hydrophone = Microphone(100.0f);
  hydrophone.RefUnits = 11;
  CopyCut(hydrophone.LabelLog, "SPL (dB re 1uPA)");
  const Case cases[] = {{Microphone(50.0f), 20e-6, "SPL (dB re 20uPA)"},
                        {hydrophone, 1e-6, "SPL (dB re 1uPA)"},
                        {Accelerometer(10.0f), 1.0, "Acceleration (G dB)"}};
  for (const Case& c : cases) {
    const ChannelScale scale = ScaleOf(c.half, "Left");
    EXPECT_DOUBLE_EQ(c.reference, scale.decibelReference);
    EXPECT_EQ(c.log, scale.logUnits);
    EXPECT_EQ(std::string(FieldText(c.half.ChannelName)), scale.name);
  }
}

TEST(Averaging, PowerIsAveragedBeforeDecibelsAndANewLengthStartsAfresh) {
  const auto loud = Sine(4096, 4096.0, 256.0, 20000.0);
  const auto quiet = Sine(4096, 4096.0, 256.0, 10000.0);
  const double loudPower = 20000.0 * 20000.0 / 2, quietPower = 10000.0 * 10000.0 / 2;
  struct Case {
    Averaging averaging;
    double expected;
  };
  for (const Case& c : {Case{Averaging::None, quietPower}, Case{Averaging::Linear, (loudPower + quietPower) / 2},
                        Case{Averaging::Exponential, loudPower + kExponentialWeight * (quietPower - loudPower)}}) {
    Spectrum spectrum;
    spectrum.SetAveraging(c.averaging);
    spectrum.Add(loud.data(), 1, loud.size());
    spectrum.Add(quiet.data(), 1, quiet.size());
    EXPECT_NEAR(c.expected, spectrum.Power()[256], c.expected * 1e-4) << static_cast<int>(c.averaging);
    EXPECT_EQ(2u, spectrum.Blocks());
    const auto other = Sine(2048, 4096.0, 256.0, 10000.0);
    spectrum.Add(other.data(), 1, other.size());
    EXPECT_EQ(1u, spectrum.Blocks());
    EXPECT_NEAR(quietPower, spectrum.Power()[128], quietPower * 1e-4);
  }
}

TEST(Averaging, WhiteNoiseMatchesItsVarianceAfterTheNoiseBandwidth) {
  // Mean power per bin of white noise is sigma^2 * ENBW * 2 / N (one-sided).
  std::vector<int16_t> noise(8192);
  uint32_t state = 12345;
  Spectrum spectrum;
  spectrum.SetAveraging(Averaging::Linear);
  const double sigma = 1000.0;
  for (int block = 0; block < 64; ++block) {
    for (auto& s : noise) {
      double sum = 0;  // twelve uniforms: close to a unit normal
      for (int i = 0; i < 12; ++i) {
        state = state * 1664525u + 1013904223u;
        sum += state / 4294967296.0;
      }
      s = static_cast<int16_t>(std::lround((sum - 6.0) * sigma));
    }
    spectrum.Add(noise.data(), 1, noise.size());
  }
  double mean = 0;
  for (std::size_t k = 100; k < 4000; ++k) mean += spectrum.Power()[k];
  mean /= 3900;
  EXPECT_NEAR(sigma * sigma * kHannNoiseBandwidth * 2 / 8192, mean, 0.05 * mean);
}

}  // namespace
}  // namespace varnel::monitor
