#pragma once

#include "ui/Services.h"

#include <QString>

#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_player_t fluid_player_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace orv {

// The first General MIDI SoundFont installed on this machine, or "" when there is none.
QString findGeneralMidiSoundFont();

// The new-mail tune through FluidSynth. Without a sound device the device still opens,
// plays silently and closes, so the labels behave the same everywhere.
class FluidSynthTune : public TunePlayer {
public:
    FluidSynthTune();
    ~FluidSynthTune() override;

    bool open(const QString &path) override;
    void play() override;
    void close() override;
    bool isOpen() const override { return m_player != nullptr; }

private:
    fluid_settings_t *m_settings = nullptr;
    fluid_synth_t *m_synth = nullptr;
    fluid_audio_driver_t *m_driver = nullptr;
    fluid_player_t *m_player = nullptr;
};

// Renders a MIDI file to interleaved stereo samples at 44.1 kHz, at most `seconds` long.
// Empty when the file or the SoundFont cannot be loaded.
std::vector<float> renderMidi(const QString &midiPath, const QString &soundFont, double seconds);

} // namespace orv
