#pragma once
// libav (libavformat, libavcodec, libswresample, libavutil), opened on first use. Linked
// to the program, these libraries and the hundred codec libraries behind them were
// loaded and relocated at every start (tens of milliseconds before main), for the
// converter alone. The functions the file decoder calls are looked up once.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <QString>

#define TARNEL_LIBAV_FUNCTIONS(X)                                                                  \
    X(av_strerror) X(av_log_set_level) X(av_find_best_stream) X(av_read_frame)                     \
    X(av_packet_alloc) X(av_packet_free) X(av_packet_unref) X(av_frame_alloc) X(av_frame_free)     \
    X(av_frame_unref) X(av_channel_layout_default) X(av_channel_layout_copy)                       \
    X(av_channel_layout_uninit) X(avformat_open_input) X(avformat_find_stream_info)                \
    X(avformat_close_input) X(avcodec_get_name) X(avcodec_alloc_context3)                          \
    X(avcodec_parameters_to_context) X(avcodec_open2) X(avcodec_free_context)                      \
    X(avcodec_send_packet) X(avcodec_receive_frame) X(swr_alloc_set_opts2) X(swr_init)             \
    X(swr_convert) X(swr_free) X(av_malloc) X(av_free) X(av_freep) X(avformat_alloc_context)     \
    X(avio_alloc_context) X(avio_context_free)

struct LibAv {
#define TARNEL_LIBAV_MEMBER(name) decltype(&::name) name = nullptr;
    TARNEL_LIBAV_FUNCTIONS(TARNEL_LIBAV_MEMBER)
#undef TARNEL_LIBAV_MEMBER
};

// The libraries of the major versions the program was built with, opened once (from
// any thread); null with *error set when one of them or a function is missing.
const LibAv *libAv(QString *error);
