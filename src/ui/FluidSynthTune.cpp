#include "ui/FluidSynthTune.h"

#include <QFile>

#include <fluidsynth.h>

namespace orv {

namespace {

constexpr int kSampleRate = 44100;

// FluidSynth's default gain of 0.2 leaves a small SoundFont such as TimGM6mb near -48 dBFS,
// barely audible; at 1.0 the tune sits near -21 dBFS RMS with its peaks below -6 dBFS.
constexpr double kSynthGain = 1.0;

fluid_settings_t *tuneSettings()
{
    fluid_settings_t *settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(settings, "synth.gain", kSynthGain);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    return settings;
}

void silenceFluidSynthLog()
{
    // The synthesizer reports a missing sound device as an error; for a tune that is no
    // error, so its log stays quiet.
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);
}

} // namespace

QString findGeneralMidiSoundFont()
{
    for (const char *candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        const QString path = QString::fromLatin1(candidate);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

FluidSynthTune::FluidSynthTune()
{
    silenceFluidSynthLog();
}

FluidSynthTune::~FluidSynthTune()
{
    close();
}

bool FluidSynthTune::open(const QString &path)
{
    if (isOpen())
        return false;
    const QByteArray file = QFile::encodeName(path);
    if (!fluid_is_midifile(file.constData()))
        return false;

    m_settings = tuneSettings();
    m_synth = new_fluid_synth(m_settings);
    const QString soundFont = findGeneralMidiSoundFont();
    if (!soundFont.isEmpty())
        fluid_synth_sfload(m_synth, QFile::encodeName(soundFont).constData(), 1);
    m_player = new_fluid_player(m_synth);
    fluid_player_add(m_player, file.constData());
    m_driver = new_fluid_audio_driver(m_settings, m_synth); // null without a sound device
    return true;
}

void FluidSynthTune::play()
{
    if (!m_player)
        return;
    if (fluid_player_get_status(m_player) != FLUID_PLAYER_PLAYING)
        fluid_player_play(m_player);
}

void FluidSynthTune::close()
{
    if (m_player) {
        fluid_player_stop(m_player);
        fluid_player_join(m_player);
    }
    if (m_driver)
        delete_fluid_audio_driver(m_driver);
    if (m_player)
        delete_fluid_player(m_player);
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
    m_driver = nullptr;
    m_player = nullptr;
    m_synth = nullptr;
    m_settings = nullptr;
}

std::vector<float> renderMidi(const QString &midiPath, const QString &soundFont, double seconds)
{
    silenceFluidSynthLog();
    std::vector<float> samples;
    fluid_settings_t *settings = tuneSettings();
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t *synth = new_fluid_synth(settings);
    fluid_player_t *player = nullptr;
    if (fluid_synth_sfload(synth, QFile::encodeName(soundFont).constData(), 1) != FLUID_FAILED) {
        player = new_fluid_player(synth);
        if (fluid_player_add(player, QFile::encodeName(midiPath).constData()) == FLUID_OK) {
            fluid_player_play(player);
            constexpr int kBlock = 512;
            const int maxBlocks = static_cast<int>(seconds * kSampleRate / kBlock);
            std::vector<float> left(kBlock), right(kBlock);
            for (int block = 0;
                 block < maxBlocks && fluid_player_get_status(player) == FLUID_PLAYER_PLAYING;
                 ++block) {
                fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1);
                for (int i = 0; i < kBlock; ++i) {
                    samples.push_back(left[i]);
                    samples.push_back(right[i]);
                }
            }
            fluid_player_stop(player);
        }
    }
    if (player)
        delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return samples;
}

} // namespace orv
