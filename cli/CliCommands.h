#pragma once
#include <iostream>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "calib/BitCalibration.h"
#include "cli/CliPanel.h"
#include "protocol/records/ParamRecord.h"
#include "protocol/records/StatusRecord.h"

struct SetupState;
class ParamRecord;

// Exit statuses of every command.
constexpr int kCliOk = 0;
constexpr int kCliFailed = 1;  // the detector did not answer as asked
constexpr int kCliUsage = 2;   // bad command line, port or hex
constexpr int kCliRefused = 3;  // refused by a host check before sending, or a sanity check failed
constexpr int kCliUnverified = 4;  // written, but the record read back differs or did not come

// The commands of wexcon-cli, run against the link that is already open
// (Wire() holds it). One instance per process, so that tags, nonce and
// counters carry from one command to the next.
class CliSession {
public:
    // Passwords are read from `in`, one line per elevation.
    CliSession(std::ostream& out, std::ostream& err, std::istream& in = std::cin)
        : out_(out), err_(err), panel_(in, err) {}

    // One command with its arguments ("get", "D_SETUP2HOST", "--size", "89").
    int run(const std::vector<std::string>& args);
    // Commands one per line; '#' starts a comment. Every line runs; the status
    // is that of the first failing line.
    int runScript(std::istream& in);

    static const char* usage();

    // --json: poll, get, read-input, read-holding, search and locate print one
    // JSON object per line instead of text.
    void setJson(bool on) { json_ = on; }

private:
    int get(const std::vector<std::string>& args);
    int set(const std::vector<std::string>& args);
    int readRegisters(const std::vector<std::string>& args, bool input);
    int writeRegister(const std::vector<std::string>& args);
    int writeRegisters(const std::vector<std::string>& args);
    int setAddress(const std::vector<std::string>& args);
    int poll(const std::vector<std::string>& args);
    int search(const std::vector<std::string>& args);
    int locate(const std::vector<std::string>& args);
    int elevate(const std::vector<std::string>& args);
    int setup(const std::vector<std::string>& args);
    // flash dump [FILE], version (cli/FlashCommands.cpp).
    int flash(const std::vector<std::string>& args);
    int version(const std::vector<std::string>& args);
    // log info, log download [FILE] [--count N] [--from P | --all] [--fahrenheit] (cli/LogCommands.cpp).
    int logCommand(const std::vector<std::string>& args);
    void learnNonce();
    int setupRead(const std::string& outFile);
    int setupBurn(const std::string& file);
    // The setup dialog's opening read, after a status request; nothing (the
    // reason on standard error) when the detector did not give its record.
    std::optional<SetupState> openSetup();
    // devinfo read [--bin FILE], devinfo burn FILE
    int devinfo(const std::vector<std::string>& args);
    int devinfoRead(const std::string& binFile);
    int devinfoBurn(const std::string& file);
    // The device-information window's opening read, after a status request;
    // false (the reason on standard error) without a record.
    bool openDevInfo();
    // params check [MASTER], params check-by-type [INDEX]
    int paramsCheck(const std::vector<std::string>& args);
    // params read [FILE], params burn FILE [--section NAME]
    int params(const std::vector<std::string>& args);
    int paramsRead(const std::string& file);
    int paramsBurn(const std::string& file, const std::string& section);
    // D_PARAM2HOST; nothing (the reason on standard error) without a record.
    std::optional<ParamRecord> readParams();
    // live [options]: the live data poll, printed and recorded (cli/LiveCommands.cpp).
    int live(const std::vector<std::string>& args);
    // maint [--count N] [--channels I,J,K,L,M] [--units us] [--bit]; gauges [--count N] [--units us]
    int maint(const std::vector<std::string>& args);
    int gauges(const std::vector<std::string>& args);
    // patch make/show/apply, hang|reset [--admin], summary [DIR]
    int patch(const std::vector<std::string>& args);
    int patchMake(const std::vector<std::string>& args);
    int miscCommand(const std::vector<std::string>& args);
    int summary(const std::vector<std::string>& args);
    // One status request: the lock state and the model; nothing (the reason on standard error) without an answer.
    std::optional<StatusRecord> statusOnce();
    // calib dci [--seconds S] [--master] [--burn], calib 420 (cli/CalibCommands.cpp)
    // and calib ir-bit|uv-bit (cli/CalibBitCommands.cpp)
    int calib(const std::vector<std::string>& args);
    int calibDci(const std::vector<std::string>& args);
    int calib420();
    // calib run ir|uvir --serials LIST [--addresses A,B,..] [--retries N], calib scale, calib off
    // (cli/AutoCalibCommands.cpp)
    int calibAuto(const std::vector<std::string>& args);
    // explosion [--addresses A,B,..]; fmtest [options] (cli/FieldTestCommands.cpp)
    int explosion(const std::vector<std::string>& args);
    int fmtest(const std::vector<std::string>& args);
    // trend --seconds S [--export FILE] [--csv FILE]
    int trend(const std::vector<std::string>& args);
    // firmware info|check|update FILE [options] (cli/FirmwareCommands.cpp).
    int firmware(const std::vector<std::string>& args);
    int calibBitArgs(const std::vector<std::string>& args);
    int calibBit(bitcal::Kind kind, const std::array<unsigned, 3>& durations, bool burn);
    // The parameter view's read, `values` set, its verified write; after a
    // read-back that differs, `now` with the detector's `nowKeys` (exit 4).
    int burnCalibration(ParamKind expected, const std::vector<std::pair<const char*, unsigned long long>>& values,
                        const std::vector<const char*>& nowKeys);
    // record stream|pull NAME [--rate 2300|100] [--seconds S] [--comment TEXT] (cli/RecordCommands.cpp)
    int record(const std::vector<std::string>& args);
    int usageError(const std::string& what);
    nlohmann::ordered_json pollJson(const std::optional<StatusRecord>& answer, int result);
    nlohmann::ordered_json getJson(const std::string& name, unsigned command, const std::vector<uint8_t>& payload,
                           std::span<const uint8_t> answer, const std::string& failure);

    std::ostream& out_;
    std::ostream& err_;
    CliPanel panel_;
    bool inScript_ = false;
    bool json_ = false;
};

// A decimal number; commas between digits are skipped ("30,001"). Nothing on
// anything else or more than nine digits.
std::optional<unsigned long> parseDecimal(const std::string& text);

// "A,B,.." of addresses 1 to 247; nothing on anything else.
std::optional<std::vector<uint8_t>> parseAddressList(const std::string& text);

// Splits a script line into words at blanks.
std::vector<std::string> splitWords(const std::string& line);
