#include "ui/FluidSynthTune.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

namespace orv {
namespace {

struct Level {
    double rms = 0;
    double peak = 0;
};

Level levelOf(const std::vector<float> &samples)
{
    Level level;
    double energy = 0;
    for (float sample : samples) {
        energy += double(sample) * sample;
        level.peak = std::max(level.peak, std::fabs(double(sample)));
    }
    level.rms = samples.empty() ? 0 : std::sqrt(energy / samples.size());
    return level;
}

// The SoundFont scripts/install-deps.sh installs (timgm6mb-soundfont), and the machine's
// default when that is another one: a developer's machine must not pass where a fresh one
// fails, nor the other way round.
QStringList soundFontsToCheck()
{
    const QString installed = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    QStringList fonts{installed};
    const QString chosen = QFileInfo(findGeneralMidiSoundFont()).canonicalFilePath();
    if (!chosen.isEmpty() && chosen != QFileInfo(installed).canonicalFilePath())
        fonts << chosen;
    return fonts;
}

TEST(Tune, TheInstalledTuneIsClearlyAudibleAndNeverClips)
{
    // About 9 dB of margin on either side of the tune as written: it renders near
    // -21 dBFS RMS with peaks near -7 dBFS on TimGM6mb.
    constexpr double kQuietest = 0.03;   // -30 dBFS RMS
    constexpr double kLoudestPeak = 0.9; // -0.9 dBFS; 1.0 clips in the sound device
    for (const QString &soundFont : soundFontsToCheck()) {
        SCOPED_TRACE(soundFont.toStdString());
        ASSERT_TRUE(QFileInfo::exists(soundFont))
            << "scripts/install-deps.sh installs timgm6mb-soundfont";
        const std::vector<float> samples =
            renderMidi(QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/Sound/1.mid"),
                       soundFont, 6.0);
        ASSERT_GT(samples.size(), 44100u);
        const Level level = levelOf(samples);
        EXPECT_GT(level.rms, kQuietest) << "the tune is barely audible";
        EXPECT_LT(level.peak, kLoudestPeak) << "the tune clips";
    }
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
