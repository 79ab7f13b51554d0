#pragma once

#include <string>
#include <string_view>

// The frame log: one line per frame or event, each written with a single write() so that a reader
// (a test, `tail -f`) sees whole lines as soon as they happen.
//   TIME CHANNEL RX FRAME [HEX]
//   TIME CHANNEL TX KIND FRAME [HEX]
//   TIME CHANNEL -- TEXT
class FrameLog {
public:
    FrameLog() = default;  // off
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Logs to standard error; false if a file was asked for and cannot be opened.
    bool ToStderr();
    bool ToFile(const std::string& path);

    // A received frame.
    void Received(std::string_view channel, std::string_view bytes);
    // Bytes sent, one line per frame in them.
    void Sent(std::string_view channel, std::string_view kind, std::string_view bytes);
    void Note(std::string_view channel, std::string_view text);

    // Printable form of a frame: 0x21-0x7E as they are ('\' doubled), other bytes as \xHH.
    static std::string Printable(std::string_view bytes);
    // Upper-case hex bytes separated by blanks.
    static std::string Hex(std::string_view bytes);

private:
    void WriteLine(std::string_view channel, const std::string& text);

    int fd_ = -1;
    bool ownsFd_ = false;
};
