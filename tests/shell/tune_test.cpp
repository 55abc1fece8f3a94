#include "ui/FluidSynthTune.h"

#include <cmath>

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(Tune, TheInstalledTuneIsAudible)
{
    const QString soundFont = findGeneralMidiSoundFont();
    ASSERT_FALSE(soundFont.isEmpty()) << "no General MIDI SoundFont installed";
    const std::vector<float> samples = renderMidi(
        QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/Sound/1.mid"), soundFont, 6.0);
    ASSERT_GT(samples.size(), 44100u);
    double energy = 0;
    for (float sample : samples)
        energy += double(sample) * sample;
    const double rms = std::sqrt(energy / samples.size());
    EXPECT_GT(rms, 0.005) << "the tune renders as silence";
}

TEST(Tune, DeviceOpensOnceAndClosesWithoutASoundCard)
{
    FluidSynthTune tune;
    const QString path = QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/Sound/1.mid");
    EXPECT_TRUE(tune.open(path));
    EXPECT_FALSE(tune.open(path)); // already open: the play goes to the open device
    tune.play();
    EXPECT_TRUE(tune.isOpen());
    tune.close();
    EXPECT_FALSE(tune.isOpen());
    EXPECT_FALSE(tune.open(QStringLiteral("/no/such/tune.mid")));
}

} // namespace
} // namespace orv
