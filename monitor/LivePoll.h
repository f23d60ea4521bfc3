#pragma once
// The poll of the live data windows and of `wexcon-cli live`: each tick asks
// the next address of the network selection (in rotation) for its live
// record, keeps the last 50 answers for replay, and hands a good record to
// the fail-reason analysis and the recorder when they are attached. The tick
// runs on the link worker (the window's TickJob); the window shows the
// LiveStep it gets back. Replay switches and the attachments may come from
// any thread.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "monitor/FailReason.h"
#include "monitor/Recorder.h"
#include "protocol/records/LiveRecord.h"

// What one tick did.
struct LiveStep {
    unsigned address = 0;              // asked, or replayed; 0: no selection
    int result = 0;                    // the request's result (bytes, or 0 and less)
    std::optional<LiveRecord> record;  // a whole, CRC-valid record (or the replayed entry)
    bool replayed = false;             // the record comes from the history
    bool historyFilled = false;        // the ring has been full once: replay controls show
    RecordStep recorded;               // what the recorder did with it
    bool typeRefresh = false;          // the 15-minute type read was due in this tick
    // A log or FailReason.txt that failed in this tick (recording now off):
    // the window shows an "Error" box naming it.
    std::string errorFile;
};

class LivePoll {
public:
    static constexpr size_t kHistory = 50;
    enum class Replay { Live, Playing, Stopped, Stepping };

    struct Options {
        // The network selection in list order, read at every tick.
        std::function<std::vector<uint8_t>()> selection;
        bool history = true;  // the UV/IR window keeps none
        // The request; empty: D_DATA2HOST through ModbusGetShort on the link
        // (SelectSlave first). Fills `frame` and returns the byte count.
        std::function<int(unsigned address, std::array<uint8_t, live::kSize>& frame)> request;
        // Waits after a failed request (100 ms) and between replayed entries
        // (250 ms); empty: sleeps.
        std::function<void(unsigned ms)> wait;
        // The detector type read that takes a record's place every 15 minutes
        // of a recording; empty: the UV/IR model flag from that tick's record.
        std::function<void(unsigned address)> readType;
    };

    explicit LivePoll(Options options);

    // One tick of the poll clock (link worker).
    LiveStep tick();

    // The recorder and the fail-reason analysis see every good live record;
    // null detaches.
    void attachRecorder(std::shared_ptr<Recorder> recorder);
    void attachFailReasons(std::shared_ptr<FailReasons> failReasons);
    // The window's "Gradalarm" box (the benz limits instead of the warn ones).
    void setGradAlarm(bool on);

    // Replay of the history: Playing shows one entry a tick (250 ms apart)
    // from the oldest and stops at the newest; Stepping shows one and stops;
    // Live polls again.
    void setReplay(Replay replay);
    Replay replay() const;
    size_t historyCount() const;
    bool historyFilled() const;
    // The entry `age` records back (0 the newest).
    std::optional<LiveRecord> historyEntry(size_t age) const;

    // The address the next tick asks (0 when nothing is selected).
    unsigned nextAddress() const;

private:
    LiveStep poll(const std::vector<uint8_t>& selected);
    LiveStep replayStep();
    void wait(unsigned ms) const;

    Options options_;
    mutable std::mutex mutex_;
    std::shared_ptr<Recorder> recorder_;
    std::shared_ptr<FailReasons> failReasons_;
    bool gradAlarm_ = false;
    size_t rotation_ = 0;
    std::vector<std::array<uint8_t, live::kSize>> ring_;
    size_t ringWrite_ = 0;
    bool ringFilled_ = false;
    Replay replay_ = Replay::Live;
    size_t replayPos_ = 0;  // age of the next replayed entry
};
