#include "ui/FluidSynthTune.h"

#include "core/LateLibrary.h"

#include <QFile>

#include <fluidsynth.h>

namespace orv {

namespace {

constexpr int kSampleRate = 44100;

// FluidSynth's default gain of 0.2 leaves a small SoundFont such as TimGM6mb near -48 dBFS,
// barely audible; at 1.0 the tune sits near -21 dBFS RMS with its peaks below -6 dBFS.
constexpr double kSynthGain = 1.0;

// The synthesizer and its sound servers, codecs and drivers are some forty libraries the
// program would otherwise load at every start; it loads them when a tune first plays.
#define ORV_FLUIDSYNTH_FUNCTIONS(X)                                                                \
    X(new_fluid_settings)                                                                          \
    X(delete_fluid_settings)                                                                       \
    X(fluid_settings_setnum)                                                                       \
    X(fluid_settings_setint)                                                                       \
    X(fluid_settings_setstr)                                                                       \
    X(fluid_set_log_function)                                                                      \
    X(fluid_is_midifile)                                                                           \
    X(new_fluid_synth)                                                                             \
    X(delete_fluid_synth)                                                                          \
    X(fluid_synth_sfload)                                                                          \
    X(fluid_synth_write_float)                                                                     \
    X(new_fluid_player)                                                                            \
    X(delete_fluid_player)                                                                         \
    X(fluid_player_add)                                                                            \
    X(fluid_player_play)                                                                           \
    X(fluid_player_stop)                                                                           \
    X(fluid_player_join)                                                                           \
    X(fluid_player_get_status)                                                                     \
    X(new_fluid_audio_driver)                                                                      \
    X(delete_fluid_audio_driver)

struct FluidSynth {
#define ORV_DECLARE(name) decltype(&::name) name = nullptr;
    ORV_FLUIDSYNTH_FUNCTIONS(ORV_DECLARE)
#undef ORV_DECLARE
    bool loaded = false;
};

// The synthesizer's log reports a missing sound device as an error; for a tune that is no
// error, so its log stays quiet.
void silenceLog(const FluidSynth &fluid)
{
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid.fluid_set_log_function(level, nullptr, nullptr);
}

FluidSynth load()
{
    // Never unloaded: the synthesizer's threads and allocations live as long as the program.
    static QLibrary library(QStringLiteral("fluidsynth"), 3);
    FluidSynth fluid;
    if (!library.load())
        return fluid;
    fluid.loaded = true;
#define ORV_RESOLVE(name)                                                                          \
    fluid.loaded = resolveFunction(library, #name, fluid.name) && fluid.loaded;
    ORV_FLUIDSYNTH_FUNCTIONS(ORV_RESOLVE)
#undef ORV_RESOLVE
    if (fluid.loaded)
        silenceLog(fluid);
    return fluid;
}

#undef ORV_FLUIDSYNTH_FUNCTIONS

// The library, loaded on first use; `loaded` is false when it cannot be.
const FluidSynth &fluidSynth()
{
    static const FluidSynth fluid = load();
    return fluid;
}

fluid_settings_t *tuneSettings(const FluidSynth &fluid)
{
    fluid_settings_t *settings = fluid.new_fluid_settings();
    fluid.fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
    fluid.fluid_settings_setnum(settings, "synth.gain", kSynthGain);
    fluid.fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid.fluid_settings_setint(settings, "synth.chorus.active", 0);
    return settings;
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

FluidSynthTune::FluidSynthTune() = default;

FluidSynthTune::~FluidSynthTune()
{
    close();
}

bool FluidSynthTune::open(const QString &path)
{
    const FluidSynth &fluid = fluidSynth();
    if (isOpen() || !fluid.loaded)
        return false;
    const QByteArray file = QFile::encodeName(path);
    if (!fluid.fluid_is_midifile(file.constData()))
        return false;

    m_settings = tuneSettings(fluid);
    m_synth = fluid.new_fluid_synth(m_settings);
    const QString soundFont = findGeneralMidiSoundFont();
    if (!soundFont.isEmpty())
        fluid.fluid_synth_sfload(m_synth, QFile::encodeName(soundFont).constData(), 1);
    m_player = fluid.new_fluid_player(m_synth);
    fluid.fluid_player_add(m_player, file.constData());
    m_driver = fluid.new_fluid_audio_driver(m_settings, m_synth); // null without a sound device
    return true;
}

void FluidSynthTune::play()
{
    if (!m_player)
        return;
    const FluidSynth &fluid = fluidSynth();
    if (fluid.fluid_player_get_status(m_player) != FLUID_PLAYER_PLAYING)
        fluid.fluid_player_play(m_player);
}

void FluidSynthTune::close()
{
    if (!m_settings)
        return; // nothing open, and the library perhaps never loaded
    const FluidSynth &fluid = fluidSynth();
    if (m_player) {
        fluid.fluid_player_stop(m_player);
        fluid.fluid_player_join(m_player);
    }
    if (m_driver)
        fluid.delete_fluid_audio_driver(m_driver);
    if (m_player)
        fluid.delete_fluid_player(m_player);
    if (m_synth)
        fluid.delete_fluid_synth(m_synth);
    fluid.delete_fluid_settings(m_settings);
    m_driver = nullptr;
    m_player = nullptr;
    m_synth = nullptr;
    m_settings = nullptr;
}

std::vector<float> renderMidi(const QString &midiPath, const QString &soundFont, double seconds)
{
    std::vector<float> samples;
    const FluidSynth &fluid = fluidSynth();
    if (!fluid.loaded)
        return samples;
    fluid_settings_t *settings = tuneSettings(fluid);
    fluid.fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid.fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t *synth = fluid.new_fluid_synth(settings);
    fluid_player_t *player = nullptr;
    if (fluid.fluid_synth_sfload(synth, QFile::encodeName(soundFont).constData(), 1) !=
        FLUID_FAILED) {
        player = fluid.new_fluid_player(synth);
        if (fluid.fluid_player_add(player, QFile::encodeName(midiPath).constData()) == FLUID_OK) {
            fluid.fluid_player_play(player);
            constexpr int kBlock = 512;
            const int maxBlocks = static_cast<int>(seconds * kSampleRate / kBlock);
            std::vector<float> left(kBlock), right(kBlock);
            for (int block = 0;
                 block < maxBlocks && fluid.fluid_player_get_status(player) == FLUID_PLAYER_PLAYING;
                 ++block) {
                fluid.fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1);
                for (int i = 0; i < kBlock; ++i) {
                    samples.push_back(left[i]);
                    samples.push_back(right[i]);
                }
            }
            fluid.fluid_player_stop(player);
        }
    }
    if (player)
        fluid.delete_fluid_player(player);
    fluid.delete_fluid_synth(synth);
    fluid.delete_fluid_settings(settings);
    return samples;
}

} // namespace orv
