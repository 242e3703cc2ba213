#include "platform/midi/MidiPlayer.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <filesystem>

#include "platform/sound/AlsaQuiet.h"

namespace midi {

namespace {

// Frames rendered per step: about 23 ms, short enough that Stop answers at once.
constexpr int BlockFrames = 1024;

// The system's General MIDI fonts, the chosen default first.
const char* const SystemFonts[] = {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
                                   "/usr/share/sounds/sf2/FluidR3_GM.sf2"};

bool isFile(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// fluidsynth reports on stderr by itself; our callers read LastError instead.
void quietFluidOnce()
{
    static const bool done = [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    (void)done;
}

class AlsaMidiOutput : public TMidiOutput {
public:
    explicit AlsaMidiOutput(std::string Device) : device_(std::move(Device)) {}
    ~AlsaMidiOutput() override { Close(); }

    bool Open(std::string& Error) override
    {
        snd::silenceAlsaOnce();
        if (int code = snd_pcm_open(&pcm_, device_.c_str(), SND_PCM_STREAM_PLAYBACK, 0); code < 0) {
            pcm_ = nullptr;
            Error = std::string("no sound device: ") + snd_strerror(code);
            return false;
        }
        if (int code = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, Channels,
                                          SampleRate, 1, 200000);
            code < 0) {
            Error = std::string("sound device refused the format: ") + snd_strerror(code);
            Close();
            return false;
        }
        return true;
    }

    void Close() override
    {
        if (pcm_ != nullptr) {
            snd_pcm_drop(pcm_);
            snd_pcm_close(pcm_);
            pcm_ = nullptr;
        }
    }

    bool Write(const int16_t* Frames, int Count) override
    {
        while (Count > 0) {
            snd_pcm_sframes_t n = snd_pcm_writei(pcm_, Frames, snd_pcm_uframes_t(Count));
            if (n < 0)
                n = snd_pcm_recover(pcm_, int(n), 1);
            if (n < 0)
                return false;
            Frames += n * Channels;
            Count -= int(n);
        }
        return true;
    }

private:
    std::string device_;
    snd_pcm_t* pcm_ = nullptr;
};

}  // namespace

std::unique_ptr<TMidiOutput> CreateAlsaMidiOutput(const std::string& Device)
{
    return std::make_unique<AlsaMidiOutput>(Device);
}

bool TMemoryMidiOutput::Open(std::string&)
{
    std::lock_guard<std::mutex> g(lock_);
    open_ = true;
    ++opens_;
    return true;
}

void TMemoryMidiOutput::Close()
{
    open_ = false;
}

void TMemoryMidiOutput::Note(int Channel, int Key, int Velocity)
{
    std::lock_guard<std::mutex> g(lock_);
    notes_.push_back({Channel, Key, Velocity});
}

bool TMemoryMidiOutput::Write(const int16_t* Frames, int Count)
{
    std::lock_guard<std::mutex> g(lock_);
    const std::size_t room = max_ * Channels - std::min(samples_.size(), max_ * Channels);
    samples_.insert(samples_.end(), Frames, Frames + std::min(room, std::size_t(Count) * Channels));
    return true;
}

std::vector<TMemoryMidiOutput::TNote> TMemoryMidiOutput::Notes() const
{
    std::lock_guard<std::mutex> g(lock_);
    return notes_;
}

std::vector<int16_t> TMemoryMidiOutput::Samples() const
{
    std::lock_guard<std::mutex> g(lock_);
    return samples_;
}

std::string FindSoundFont(const std::string& Configured)
{
    if (isFile(Configured))
        return Configured;
    for (const char* path : SystemFonts)
        if (isFile(path))
            return path;
    return {};
}

// The synthesizer with its font, made at the first Open and kept for the next files; the
// sequencer of the open file.
struct TMidiPlayer::TSynth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    TMidiOutput* output = nullptr;

    ~TSynth()
    {
        dropPlayer();
        if (synth != nullptr)
            delete_fluid_synth(synth);
        if (settings != nullptr)
            delete_fluid_settings(settings);
    }

    void dropPlayer()
    {
        if (player != nullptr) {
            fluid_player_stop(player);
            delete_fluid_player(player);
            player = nullptr;
        }
        if (synth != nullptr)
            fluid_synth_system_reset(synth);
    }

    // Tells the output of each note before the synthesizer hears it.
    static int onEvent(void* data, fluid_midi_event_t* event)
    {
        auto* self = static_cast<TSynth*>(data);
        const int type = fluid_midi_event_get_type(event);
        if ((type == 0x90 || type == 0x80) && self->output != nullptr)
            self->output->Note(fluid_midi_event_get_channel(event), fluid_midi_event_get_key(event),
                               type == 0x80 ? 0 : fluid_midi_event_get_velocity(event));
        return fluid_synth_handle_midi_event(self->synth, event);
    }
};

TMidiPlayer::TMidiPlayer(std::unique_ptr<TMidiOutput> Output, std::string SoundFont)
    : output_(std::move(Output)), soundFont_(std::move(SoundFont))
{
}

TMidiPlayer::~TMidiPlayer()
{
    Stop();
}

bool TMidiPlayer::Open(const std::string& FileName)
{
    Stop();
    error_.clear();
    if (soundFont_.empty()) {
        error_ = "no General MIDI sound font";
        return false;
    }
    if (!isFile(FileName) || !fluid_is_midifile(FileName.c_str())) {
        error_ = "not a MIDI file: " + FileName;
        return false;
    }
    quietFluidOnce();
    if (!synth_) {
        auto s = std::make_unique<TSynth>();
        s->settings = new_fluid_settings();
        fluid_settings_setnum(s->settings, "synth.sample-rate", SampleRate);
        fluid_settings_setstr(s->settings, "player.timing-source", "sample");
        s->synth = s->settings != nullptr ? new_fluid_synth(s->settings) : nullptr;
        if (s->synth == nullptr || fluid_synth_sfload(s->synth, soundFont_.c_str(), 1) == FLUID_FAILED) {
            error_ = "cannot load the sound font " + soundFont_;
            return false;
        }
        synth_ = std::move(s);
    }
    synth_->output = output_.get();
    synth_->player = new_fluid_player(synth_->synth);
    if (synth_->player == nullptr || fluid_player_add(synth_->player, FileName.c_str()) != FLUID_OK) {
        synth_->dropPlayer();
        error_ = "the sequencer refused " + FileName;
        return false;
    }
    fluid_player_set_playback_callback(synth_->player, &TSynth::onEvent, synth_.get());
    fileName_ = FileName;
    return true;
}

bool TMidiPlayer::Play()
{
    if (!synth_ || synth_->player == nullptr || worker_.joinable())
        return false;
    if (!outputOpen_) {
        if (!output_->Open(error_))
            return false;
        outputOpen_ = true;
    }
    if (fluid_player_play(synth_->player) != FLUID_OK) {
        error_ = "the sequencer cannot start " + fileName_;
        return false;
    }
    stop_ = false;
    playing_ = true;
    worker_ = std::thread([this] { run(); });
    return true;
}

void TMidiPlayer::run()
{
    std::vector<int16_t> block(std::size_t(BlockFrames) * Channels);
    while (!stop_ && fluid_player_get_status(synth_->player) == FLUID_PLAYER_PLAYING) {
        fluid_synth_write_s16(synth_->synth, BlockFrames, block.data(), 0, 2, block.data(), 1, 2);
        if (!output_->Write(block.data(), BlockFrames))
            break;
    }
    playing_ = false;
}

void TMidiPlayer::Stop()
{
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
    playing_ = false;
    if (synth_)
        synth_->dropPlayer();
    if (outputOpen_) {
        output_->Close();
        outputOpen_ = false;
    }
    fileName_.clear();
}

}  // namespace midi
