#include "cli/CliCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

#include "cli/Hex.h"
#include "cli/JsonOut.h"
#include "cli/PollLine.h"
#include "protocol/records/FaultWords.h"
#include "protocol/Registers.h"
#include "protocol/SecretMask.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "util/PumpWait.h"

namespace {

// Options "--name value" after the positional words; false on an unknown one.
bool takeOptions(const std::vector<std::string>& args, size_t from,
                 std::vector<std::pair<std::string, std::string>>* out, std::vector<std::string>* positional) {
    for (size_t i = from; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            if (i + 1 >= args.size()) return false;
            out->emplace_back(args[i], args[i + 1]);
            ++i;
        } else {
            positional->push_back(args[i]);
        }
    }
    return true;
}

std::string transportError(int result) {
    const int err = errno;
    std::string text = "transport result " + std::to_string(result);
    if (TransportExceptionCode(result, err) >= 0) text += ", " + TransportResultText(result, err);
    return text;
}

}  // namespace

const char* CliSession::usage() {
    return "usage: wexcon-cli --port DESC [--address N] [--tags] [--raw] [--log] [--json] COMMAND [ARGS]\n"
           "  DESC: COM3:9600,n,8,1 or /dev/ttyUSB0:9600,n,8,1, optionally followed by\n"
           "        ,rs485 (the kernel's RS-485 direction control) and/or ,echo (an adapter\n"
           "        that hands back what we send)\n"
           "  --json: poll, get, read-input, read-holding, search and locate print one JSON\n"
           "        object per line with decoded fields (poll reads the fault words too\n"
           "        while a detector reports a fault)\n"
           "commands:\n"
           "  get CMD [--payload HEX] [--size N] [--wait MS] [--timeout MS]\n"
           "  set CMD [--payload HEX]\n"
           "  read-input REG COUNT        (REG from 30001)\n"
           "  read-holding REG COUNT      (REG from 40001)\n"
           "  write-register REG HEXVALUE\n"
           "  write-registers REG HEX...\n"
           "  poll [--count N] [--period MS]   (count 0: until stopped)\n"
           "  search FIRST LAST           (ADDR<TAB>MODEL<TAB>SERIAL per answering address)\n"
           "  locate                      (the address of the one detector on the line)\n"
           "  elevate 1|2                 (MAINT or ADMIN; the password is read from standard input)\n"
           "  set-address NEW             (locked detector: the ADMIN password from standard input)\n"
           "  setup read [--out FILE]     (NAME=VALUE per setup field; FILE: the 72 record bytes)\n"
           "  setup burn FILE             (FILE: NAME=VALUE lines or 72 record bytes; prints verified\n"
           "                              or No changes made; locked detector: the ADMIN password\n"
           "                              from standard input)\n"
           "  devinfo read [--bin FILE]   (key=value per device-information field; FILE: the 108\n"
           "                              record bytes)\n"
           "  devinfo burn FILE           (FILE: key=value lines as devinfo read prints them; a key left\n"
           "                              out keeps the value read; prints verified; locked detector:\n"
           "                              the ADMIN password from standard input, one try per line)\n"
           "  params read [FILE]          (key=value per parameter as Param.ini holds them; FILE: the\n"
           "                              raw record)\n"
           "  params burn FILE [--section NAME] (FILE: a raw record of the detector's size (.bin) or a\n"
           "                              profile whose section NAME, default ir4_param_0 or uv_param_0,\n"
           "                              loads over the detector's record; prints Parameters verified;\n"
           "                              locked detector: the ADMIN password from standard input)\n"
           "  params check [MASTER]       (the sanity check against MASTER or the master file named\n"
           "                              in SanityCheckInput.ini; writes SanityCheckOutput.ini)\n"
           "  params check-by-type [INDEX] (the check against Masters/ by detector type; writes\n"
           "                              section SanityCheck<INDEX> of ScreenshotOutput.ini)\n"
           "  live [--addresses A,B,..] [--count N] [--seconds S] [--period MS] [--csv] [--extended]\n"
           "       [--gradalarm] [--units us] [--record fast|1.5s|minute|15min] [--comment TEXT]\n"
           "                              (Name=value per live record, Address=N Failed=R per failed\n"
           "                              poll; --record writes Recordings/, --extended also\n"
           "                              FailReason.txt; exit 1 no poll answered, 3 a file failed)\n"
           "  maint [--count N] [--channels I,J,K,L,M] [--units us] [--bit]\n"
           "  calib ir-bit [--burn] | calib uv-bit --durations D1[,D2[,D3]] [--burn]\n"
           "                              (address=A serial=S status=MS name=value per poll, 50 ms\n"
           "                              apart; --bit: the BIT to its end, bitout.txt and the\n"
           "                              Embedded BIT results; 1 not started or cut at 100, 3 no file)\n"
           "  calib dci [--seconds S] [--master] [--burn]\n"
           "                              (address= reads= avg45= avg5= avg4= avg44= factor= verdict=\n"
           "                              [amplify44=N] [Parameters verified]; 0 advised or unnecessary,\n"
           "                              3 not permitted, 1 unresponsive, 4 read back differs)\n"
           "  calib 420                   (actions from standard input: set 4|20, apply READING, burn,\n"
           "                              quit; the progress lines; 0 burned and stopped, 3 the last\n"
           "                              burn refused by a host check, 1 any other end)\n"
           "  calib run ir|uvir --serials LIST [--addresses A,B,..] [--retries N]\n"
           "                              (ADDR SERIAL CODE STATE per row, then results FILE; 0 all\n"
           "                              slaves 0 or 10, 4 only -10/-11/-12 besides, 1 otherwise)\n"
           "  calib scale | calib off     (the scale values; D_CALIBRATION 0 to every detector)\n"
           "  gauges [--count N] [--units us] (vin=TEXT/COLOUR temp=... ma=... per poll, 100 ms apart)\n"
           "  flash dump [FILE]           (per flash area its label and its bytes as the Internal\n"
           "                              Flash Dump window shows them; FILE gets the same)\n"
           "  version                     (the detector's version text or N / A, an empty line,\n"
           "                              the program's own; exit 1 with N / A)\n"
           "  log info                    (current, sectors, slots, total, record-size, max-records,\n"
           "                              time, flags; exit 1 no answer)\n"
           "  log download [FILE] [--count N] [--from P | --all] [--fahrenheit]\n"
           "                              (the newest N records, N from position P, or all; one line\n"
           "                              of the list's cells per record, DetLog.txt or FILE gets the\n"
           "                              file's lines; exit 1 a page or the ring failed, 2 no file)\n"
           "  patch make (--default ir|uvir | --from FILE.bin | --edit FILE.upm) --select NAME[=VALUE]...\n"
           "              [--out FILE]    (writes IR3.upm / UVIR.upm or FILE; no --port needed)\n"
           "  patch show FILE             (IR3 patch or UVIR patch, then NAME=VALUE per marked field;\n"
           "                              no --port needed)\n"
           "  patch apply FILE            (Parameters Update; locked detector: the ADMIN password\n"
           "                              from standard input)\n"
           "  hang [--admin], reset [--admin] (D_MISC_CONTROL 1 or 2; locked detector: the MAINT\n"
           "                              (or ADMIN) password from standard input)\n"
           "  summary [DIR]               (param.bin, setup.bin, DevInfo.bin into DIR/Summary/<serial>/)\n"
           "  trend --seconds S [--export FILE] [--csv FILE] (status polls 100 ms apart into the\n"
           "                              trend history of Param.ini's \"Trend\" keys, then its export,\n"
           "                              default TrendLog.txt, and with --csv the same with commas;\n"
           "                              3 when a file could not be written)\n"
           "  firmware info FILE [--block 2048|4096] (product, version, flags, crc, payload, block,\n"
           "                              nblk, remainder; no --port needed; 3 refused)\n"
           "  firmware check FILE [--block B] [--allow-same] (the same and detector-product,\n"
           "                              detector-version; 3 refused, 1 no answer)\n"
           "  firmware update FILE [--block B] [--allow-same] [--short-header] [--baud RATE]\n"
           "       [--verify N] [--give-up S] (backup, version, params, upm, result; 1 failed or aborted,\n"
           "                              3 refused, 4 parameters not restored)\n"
           "  record stream NAME [--rate 2300|100] [--seconds S] [--comment TEXT]\n"
           "                              (the streamed ADC recording at 921600 baud into\n"
           "                              Recordings/NAME.bin and .log; S from the stream's start,\n"
           "                              default until SIGINT/SIGTERM; then back to 9600. Prints\n"
           "                              file, log, blocks, skipped, bytes, retrain, lost, stop\n"
           "                              ok|failed; 1 switch, start, sync or stop failed, 2 a file)\n"
           "  record pull NAME [--seconds S] [--comment TEXT] (the pulled 100 Hz recording at 57600\n"
           "                              baud into Recordings/NAME.100; the same output)\n"
           "  explosion [--addresses A,B,..] (erase the message buffers, wait for a line of standard\n"
           "                              input while the explosion is set off, read the texts back;\n"
           "                              ADDR<TAB>S/N<TAB>TIME<TAB>CODE per detector, logX.txt appended;\n"
           "                              4 a code is not 0, 1 retries ran out)\n"
           "  fmtest [--addresses A,B,..] [--seconds S] [--fuel T] [--facing T] [--angle T] [--distance T]\n"
           "         [--pc-timer] [--save] (the FM approval test from the start broadcast until every\n"
           "                              detector alarmed, at most S (60) seconds; ADDR<TAB>S/N<TAB>MODEL\n"
           "                              <TAB>TIMER<TAB>RELAY per row; --save appends to FMResults.txt;\n"
           "                              1 a detector did not alarm in time)\n"
           "  run FILE|-                  (the commands above, one per line; each elevate line\n"
           "                              takes the next line of standard input)\n"
           "exit status: 0 done, 1 the detector(s) did not do it, 2 bad command line, port or file,\n"
           "  3 refused by a check before sending, or a sanity check failed, 4 written but the\n"
           "  record read back differs\n";
}

int CliSession::usageError(const std::string& what) {
    err_ << "wexcon-cli: " << what << "\n";
    return kCliUsage;
}

int CliSession::run(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("no command");
    const std::string& c = args[0];
    // Standard registers and the address change are library functions; the
    // raw link carries record frames only.
    if (LinkModeWord().load() == LINK_RAW &&
        (c == "read-input" || c == "read-holding" || c == "write-register" || c == "write-registers" ||
         c == "set-address"))
        return usageError(c + " needs the Modbus link; leave out --raw");
    if (c == "get") return get(args);
    if (c == "set") return set(args);
    if (c == "read-input") return readRegisters(args, true);
    if (c == "read-holding") return readRegisters(args, false);
    if (c == "write-register") return writeRegister(args);
    if (c == "write-registers") return writeRegisters(args);
    if (c == "set-address") return setAddress(args);
    if (c == "poll") return poll(args);
    if (c == "params" && args.size() > 1 && args[1].rfind("check", 0) == 0) return paramsCheck(args);
    if (c == "params") return params(args);
    if (c == "search") return search(args);
    if (c == "locate") return locate(args);
    if (c == "elevate") return elevate(args);
    if (c == "setup") return setup(args);
    if (c == "live") return live(args);
    if (c == "maint") return maint(args);
    if (c == "gauges") return gauges(args);
    if (c == "devinfo") return devinfo(args);
    if (c == "flash") return flash(args);
    if (c == "firmware") return firmware(args);
    if (c == "version") return version(args);
    if (c == "log") return logCommand(args);
    if (c == "patch") return patch(args);
    if (c == "hang" || c == "reset") return miscCommand(args);
    if (c == "summary") return summary(args);
    if (c == "trend") return trend(args);
    if (c == "calib") return calib(args);
    if (c == "record") return record(args);
    if (c == "explosion") return explosion(args);
    if (c == "fmtest") return fmtest(args);
    return usageError("unknown command '" + c + "'");
}

int CliSession::runScript(std::istream& in) {
    inScript_ = true;
    int status = kCliOk;
    std::string line;
    while (std::getline(in, line)) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        const auto words = splitWords(line);
        if (words.empty()) continue;
        const int rc = words[0] == "run" ? usageError("run cannot be nested") : run(words);
        if (status == kCliOk) status = rc;
    }
    inScript_ = false;
    return status;
}

int CliSession::get(const std::vector<std::string>& args) {
    std::vector<std::pair<std::string, std::string>> opts;
    std::vector<std::string> pos;
    if (!takeOptions(args, 1, &opts, &pos) || pos.size() != 1) return usageError("get CMD [options]");
    const auto cmd = parseCommand(pos[0]);
    if (!cmd) return usageError("unknown command '" + pos[0] + "'");
    const CommandInfo* info = commandInfo(*cmd);
    std::vector<uint8_t> payload;
    unsigned long size = info ? info->responseSize : 0;
    unsigned long wait = info ? info->waitMs : 100, timeout = info ? info->timeoutMs : 500;
    for (const auto& [name, value] : opts) {
        if (name == "--payload") {
            const auto bytes = parseHexBytes(value);
            if (!bytes) return usageError("bad hex '" + value + "'");
            payload = *bytes;
        } else if (name == "--size" || name == "--wait" || name == "--timeout") {
            const auto v = parseDecimal(value);
            if (!v) return usageError("bad number '" + value + "' for " + name);
            (name == "--size" ? size : name == "--wait" ? wait : timeout) = *v;
        } else {
            return usageError("unknown option " + name);
        }
    }
    if (size == 0 || size > kMaxRecordFrame) return usageError("get " + pos[0] + " needs --size");
    std::vector<uint8_t> buffer(std::max<size_t>(size, payload.size()));
    std::copy(payload.begin(), payload.end(), buffer.begin());
    const int r = ModbusGet(static_cast<unsigned>(payload.size()), *cmd, Wire().ctx, buffer.data(),
                            static_cast<unsigned>(size), static_cast<unsigned>(wait), static_cast<unsigned>(timeout));
    const std::string failure = r == static_cast<int>(size) ? "" : transportError(r);
    // Results up to 2 are not frames (2: an answer too long for the buffer),
    // so the buffer still holds the request's payload: nothing to show.
    const std::span<uint8_t> answer(buffer.data(), r > 2 ? std::min<size_t>(static_cast<size_t>(r), size) : 0);
    // A setup record's passwords never reach the output.
    MaskSecrets(answer, DumpFrom::Address, Side::Answer, *cmd);
    if (json_) {
        PrintJson(out_, getJson(info ? info->name : pos[0], *cmd, payload, answer, failure));
    } else if (!answer.empty()) {
        out_ << hexLine(answer.data(), answer.size()) << "\n";
    }
    if (!failure.empty()) {
        err_ << "get " << pos[0] << ": " << failure << ", expected " << size << " bytes\n";
        return kCliFailed;
    }
    return kCliOk;
}

nlohmann::ordered_json CliSession::getJson(const std::string& name, unsigned command, const std::vector<uint8_t>& payload,
                                   std::span<const uint8_t> answer, const std::string& failure) {
    nlohmann::ordered_json j = {{"command", name}, {"size", answer.size()}, {"frame", hexLine(answer.data(), answer.size())}};
    if (!failure.empty()) {
        j["error"] = failure;
        return j;
    }
    if (const auto header = DecodeHeader(answer)) j.update(HeaderJson(*header, Shell().detector.pictureCode));
    if (command == D_DATA2HOST)
        if (const auto status = DecodeStatus(answer)) j.update(StatusJson(*status));
    if (command == D_MISC_CONTROL && !payload.empty() && payload[0] == kFaultWordsSubCommand)
        if (const auto words = DecodeFaultWords(answer)) j["faults"] = FaultsJson(*words);
    return j;
}

int CliSession::set(const std::vector<std::string>& args) {
    std::vector<std::pair<std::string, std::string>> opts;
    std::vector<std::string> pos;
    if (!takeOptions(args, 1, &opts, &pos) || pos.size() != 1) return usageError("set CMD [--payload HEX]");
    const auto cmd = parseCommand(pos[0]);
    if (!cmd) return usageError("unknown command '" + pos[0] + "'");
    std::vector<uint8_t> payload;
    for (const auto& [name, value] : opts) {
        if (name != "--payload") return usageError("unknown option " + name);
        const auto bytes = parseHexBytes(value);
        if (!bytes) return usageError("bad hex '" + value + "'");
        payload = *bytes;
    }
    const int r = ModbusSet(static_cast<unsigned>(payload.size()), payload.data(), Wire().ctx, *cmd);
    if (r != 0) {
        err_ << "set " << pos[0] << ": " << transportError(r) << "\n";
        return kCliFailed;
    }
    return kCliOk;
}

int CliSession::readRegisters(const std::vector<std::string>& args, bool input) {
    const unsigned long base = input ? 30001 : 40001;
    if (args.size() != 3) return usageError(args[0] + " REG COUNT");
    const auto reg = parseDecimal(args[1]);
    const auto count = parseDecimal(args[2]);
    if (!reg || *reg < base || *reg - base > 0xFFFF) return usageError("bad register '" + args[1] + "'");
    if (!count || *count == 0 || *count > kMaxReadRegisters) return usageError("bad count '" + args[2] + "'");
    std::vector<uint16_t> words(*count);
    const unsigned address = static_cast<unsigned>(*reg - base);
    const unsigned n = static_cast<unsigned>(*count);
    const int r = input ? ReadInputRegisters(n, address, words.data()) : ReadHoldingRegisters(n, address, words.data());
    if (r != static_cast<int>(n)) {
        if (json_) PrintJson(out_, {{"table", input ? "input" : "holding"}, {"error", transportError(r)}});
        err_ << args[0] << ": " << transportError(r) << "\n";
        return kCliFailed;
    }
    if (json_) {
        PrintJson(out_, RegistersJson(input, static_cast<unsigned>(*reg), words));
        return kCliOk;
    }
    for (unsigned i = 0; i < n; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, i ? " %04X" : "%04X", words[i]);
        out_ << b;
    }
    out_ << "\n";
    return kCliOk;
}

int CliSession::writeRegister(const std::vector<std::string>& args) {
    if (args.size() != 3) return usageError("write-register REG HEXVALUE");
    const auto reg = parseDecimal(args[1]);
    if (!reg || *reg < 40001 || *reg - 40001 > 0xFFFF) return usageError("bad register '" + args[1] + "'");
    const auto value = parseHexWord(args[2]);
    if (!value) return usageError("bad hex '" + args[2] + "'");
    const int r = WriteSingleRegister(*value, static_cast<unsigned>(*reg - 40001));
    if (r != 1) {
        err_ << "write-register: " << transportError(r) << "\n";
        return kCliFailed;
    }
    return kCliOk;
}

int CliSession::writeRegisters(const std::vector<std::string>& args) {
    if (args.size() < 3) return usageError("write-registers REG HEX...");
    const auto reg = parseDecimal(args[1]);
    if (!reg || *reg < 40001 || *reg - 40001 > 0xFFFF) return usageError("bad register '" + args[1] + "'");
    if (args.size() - 2 > kMaxWriteRegisters) return usageError("too many values");
    std::vector<uint16_t> values;
    for (size_t i = 2; i < args.size(); ++i) {
        const auto v = parseHexWord(args[i]);
        if (!v) return usageError("bad hex '" + args[i] + "'");
        values.push_back(*v);
    }
    const unsigned n = static_cast<unsigned>(values.size());
    const int r = WriteMultipleRegisters(n, static_cast<unsigned>(*reg - 40001), values.data());
    if (r != static_cast<int>(n)) {
        err_ << "write-registers: " << transportError(r) << "\n";
        return kCliFailed;
    }
    return kCliOk;
}

int CliSession::poll(const std::vector<std::string>& args) {
    std::vector<std::pair<std::string, std::string>> opts;
    std::vector<std::string> pos;
    if (!takeOptions(args, 1, &opts, &pos) || !pos.empty()) return usageError("poll [--count N] [--period MS]");
    unsigned long count = 1, period = 1000;
    for (const auto& [name, value] : opts) {
        const auto v = parseDecimal(value);
        if (!v || (name != "--count" && name != "--period")) return usageError("bad option " + name + " " + value);
        (name == "--count" ? count : period) = *v;
    }
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    int status = kCliOk;
    for (unsigned long i = 0; count == 0 || i < count; ++i) {
        if (i) PumpWait(static_cast<unsigned>(period));
        std::vector<uint8_t> frame(info.responseSize);
        const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), info.responseSize, info.waitMs,
                                info.timeoutMs);
        const auto answer = r == static_cast<int>(frame.size()) ? DecodeStatus(frame) : std::nullopt;
        if (!answer) status = kCliFailed;
        if (json_) {
            PrintJson(out_, pollJson(answer, r));
            continue;
        }
        auto line = answer ? PollLine(frame) : std::nullopt;
        if (!line) line = "address " + std::to_string(Wire().slave) + " no answer (" + transportError(r) + ")";
        out_ << *line << std::endl;
    }
    return status;
}

nlohmann::ordered_json CliSession::pollJson(const std::optional<StatusRecord>& answer, int result) {
    if (!answer) return {{"address", Wire().slave}, {"error", "no answer (" + transportError(result) + ")"}};
    nlohmann::ordered_json j = StatusJson(*answer);
    j["faults"] = nlohmann::ordered_json::array();
    if (j["fault"]) {
        FaultWords words{};
        const int r = RequestFaultWords(words);
        j["faults"] = r == static_cast<int>(kFaultWordsFrameSize) ? FaultsJson(words) : nlohmann::ordered_json();
    }
    return j;
}

std::optional<unsigned long> parseDecimal(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c != ',') digits += c;  // "30,001" as the tool shows register numbers
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    return std::strtoul(digits.c_str(), nullptr, 10);
}

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::optional<std::vector<uint8_t>> parseAddressList(const std::string& text) {
    std::vector<uint8_t> list;
    size_t from = 0;
    while (from <= text.size()) {
        const size_t comma = std::min(text.find(',', from), text.size());
        const auto v = parseDecimal(text.substr(from, comma - from));
        if (!v || *v < 1 || *v > 247) return std::nullopt;
        list.push_back(static_cast<uint8_t>(*v));
        from = comma + 1;
    }
    return list;
}
