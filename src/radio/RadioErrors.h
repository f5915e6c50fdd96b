#pragma once
// Why a station could not be played: the number the radio window shows in
// "Can't play the stream (error code: N)". Stable; listed in README.md.
namespace radio_error {

enum Code : int {
    None = 0,
    BadAddress = 1,        // empty, malformed, or not an http/https address
    HostNotFound = 2,      // the server's name does not resolve
    ConnectionRefused = 3, // nothing listens at that address
    TimedOut = 4,          // no answer within 10 s, or no data for 10 s
    HttpStatus = 5,        // the server answered with an error status (404, 500...)
    NotAudio = 6,          // a web page, text, or data no decoder recognises
    ProxyRefused = 7,      // the proxy is unreachable, refused the credentials, or its text is no host:port
    PlaylistEmpty = 8,     // a playlist file with no entry that answers, or one that leads back to itself
    TooLarge = 9,          // header lines or a playlist file beyond any sane size
    TooManyRedirects = 10, // more than 5 redirections
    ConnectionLost = 11,   // the stream stopped and every reconnection failed
    BadResponse = 12,      // the answer is no HTTP or ICY answer
    DecodeFailed = 13,     // the audio could not be decoded or played
};

} // namespace radio_error
