// What a running simulator has seen and done, for tests to assert on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelsim {

enum class ModemPhase { Command, Dialling, Ringing, Answering, Online, OnlineCommand };

enum class RequestKind { LinkRequest, DialFrame, IdentBlock, SessionOpen, HangUp, KeepAlive, SpeedChange, Abort, Data };

enum class Operation { Control, Read, Write, Command };

// One frame the panel took from the line, decoded.
struct FrameRecord {
    int mode = 0;
    RequestKind kind = RequestKind::Data;
    Operation operation = Operation::Control;
    uint8_t command = 0; // command byte, or the code in mode 3
    uint8_t subAddress = 0;
    uint16_t address = 0;
    int count = 0;
    bool refused = false;
};

struct Counters {
    int frames = 0;
    int acknowledgements = 0;
    int refusals = 0;
    int dataReplies = 0;
    int identifications = 0;
    int aborts = 0;
    int connects = 0;
    int rings = 0;
    int lineDrops = 0;
    int corruptedBytes = 0;
    int droppedBytes = 0;
    int noiseBytes = 0;
    int discardedBytes = 0; // thrown away by the panel's frame reader
    int delayedReplies = 0;
    int missedReplies = 0;
};

struct Observations {
    std::vector<std::string> modemCommands; // whole command lines, without CR
    std::vector<FrameRecord> frames;
    Counters counters;
    ModemPhase modemPhase = ModemPhase::Command;
    bool sessionOpen = false;
    bool running = false;
};

} // namespace panelsim
