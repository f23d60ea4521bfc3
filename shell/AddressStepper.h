#pragma once
#include <functional>
#include <string>

// The address arrows: clicks step a pending address, and the detector is
// switched once, 1.5 s after the last click, so that a quick series of clicks
// costs one switch.
class AddressStepper {
public:
    struct Hooks {
        std::function<unsigned long long()> nowMs;
        std::function<void(const std::string& label, unsigned pending)> showPending;  // 3358 and field 3005
        std::function<void(bool run)> timer;     // 40804, every 100 ms
        std::function<bool()> arrowsHidden;      // Recording pages
        std::function<void(unsigned address)> switched;
    };
    explicit AddressStepper(Hooks hooks) : hooks_(std::move(hooks)) {}

    void up() { step(+1); }
    void down() { step(-1); }
    // Timer 40804.
    void onTimer();
    // Another window chose an address; `atOnce` switches without the quiet time.
    void select(unsigned address, bool atOnce);

    unsigned pending() const { return pending_; }
    static std::string label(unsigned address);

private:
    void step(int delta);
    unsigned long long now() const;

    Hooks hooks_;
    unsigned pending_ = 0;
    bool series_ = false;
    unsigned long long clickMs_ = 0;
};
