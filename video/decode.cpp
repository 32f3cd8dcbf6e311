/* The decode loop of FFmpeg's own examples (demux, send packets, receive
 * frames, flush), frames converted by libswscale and then turned upright
 * in memory, since libswscale does not rotate. */
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <math.h>

#include <algorithm>

#include "decode.h"

/* How the stored frame becomes the upright one: out(x, y) = in(column, row) with the two read off these. */
enum Turn { TURN_NONE, TURN_CLOCK, TURN_COUNTER, TURN_HALF, TURN_TRANSPOSE, TURN_ANTI_TRANSPOSE, TURN_HFLIP, TURN_VFLIP };

struct VideoReader {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    SwsContext *gray = nullptr, *rgb = nullptr;
    int stream = -1;
    Turn turn = TURN_NONE;
    bool with_rgb = false;
    bool draining = false, ended = false;
    bool timed = false;          /* the first frame's time is known */
    double first = 0.0, last = 0.0;
    size_t failed = 0;
};

/* Far beyond any camera's frame: a file that declares more is refused rather than allocated for. */
static const int64_t largest_frame_pixels = (int64_t)1 << 27;

static std::string av_reason(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(code, text, sizeof text);
    return text;
}

/* The display rotation as FFmpeg's command line reads it: the angle turned clockwise, in whole degrees,
 * then a transpose or flips by the matrix's signs. Angles that are not near a multiple of 90 are left. */
static Turn display_turn(const AVStream *st)
{
    const int32_t *m = (const int32_t *)av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!m)
        return TURN_NONE;
    double theta = -round(av_display_rotation_get(m));
    theta -= 360 * floor(theta / 360 + 0.9 / 360);
    if (fabs(theta - 90) < 1.0)
        return m[3] > 0 ? TURN_TRANSPOSE : TURN_CLOCK;
    if (fabs(theta - 270) < 1.0)
        return m[3] < 0 ? TURN_ANTI_TRANSPOSE : TURN_COUNTER;
    if (fabs(theta - 180) < 1.0)
        return m[0] < 0 && m[4] < 0 ? TURN_HALF : m[0] < 0 ? TURN_HFLIP : m[4] < 0 ? TURN_VFLIP : TURN_NONE;
    if (fabs(theta) < 1.0 && m[4] < 0)
        return TURN_VFLIP;
    return TURN_NONE;
}

static bool swaps_sides(Turn t)
{
    return t == TURN_CLOCK || t == TURN_COUNTER || t == TURN_TRANSPOSE || t == TURN_ANTI_TRANSPOSE;
}

static bool open_decoder(VideoReader *r, std::string *reason)
{
    const AVCodec *decoder = nullptr;
    r->stream = av_find_best_stream(r->format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (r->stream < 0 || !decoder) {
        *reason = r->stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for its video stream" : "it holds no video stream";
        return false;
    }
    const AVCodecParameters *par = r->format->streams[r->stream]->codecpar;
    if (par->width <= 0 || par->height <= 0 || (int64_t)par->width * par->height > largest_frame_pixels) {
        *reason = "its frames are " + std::to_string(par->width) + " x " + std::to_string(par->height) + " pixels";
        return false;
    }
    int code = AVERROR(ENOMEM);
    if ((r->codec = avcodec_alloc_context3(decoder)))
        r->codec->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT; /* damaged frames come out flagged, to be counted */
    if (!r->codec || (code = avcodec_parameters_to_context(r->codec, par)) < 0 ||
        (code = avcodec_open2(r->codec, decoder, nullptr)) < 0) {
        *reason = "its decoder can't be opened (" + av_reason(code) + ")";
        return false;
    }
    r->turn = display_turn(r->format->streams[r->stream]);
    return true;
}

bool open_video(const std::string &path, bool with_rgb, VideoReader **out, std::string *reason)
{
    av_log_set_level(AV_LOG_QUIET); /* a damaged frame is counted and said once, not logged by the decoder */
    VideoReader *r = new VideoReader;
    r->with_rgb = with_rgb;
    int code = avformat_open_input(&r->format, path.c_str(), nullptr, nullptr);
    if (code < 0 || (code = avformat_find_stream_info(r->format, nullptr)) < 0) {
        *reason = av_reason(code);
        close_video(r);
        return false;
    }
    if (!open_decoder(r, reason) || !(r->packet = av_packet_alloc()) || !(r->frame = av_frame_alloc())) {
        if (reason->empty())
            *reason = av_reason(AVERROR(ENOMEM));
        close_video(r);
        return false;
    }
    *out = r;
    return true;
}

/* The plane of w x h bytes of `channels` each, turned into out. */
static void turn_plane(const uint8_t *in, int w, int h, int channels, Turn turn, std::vector<uint8_t> *out)
{
    int ow = swaps_sides(turn) ? h : w, oh = swaps_sides(turn) ? w : h;
    out->resize((size_t)ow * oh * channels);
    for (int y = 0; y < oh; y++)
        for (int x = 0; x < ow; x++) {
            int sx = x, sy = y;
            switch (turn) {
            case TURN_NONE: break;
            case TURN_CLOCK: sx = y; sy = h - 1 - x; break;
            case TURN_COUNTER: sx = w - 1 - y; sy = x; break;
            case TURN_HALF: sx = w - 1 - x; sy = h - 1 - y; break;
            case TURN_TRANSPOSE: sx = y; sy = x; break;
            case TURN_ANTI_TRANSPOSE: sx = w - 1 - y; sy = h - 1 - x; break;
            case TURN_HFLIP: sx = w - 1 - x; break;
            case TURN_VFLIP: sy = h - 1 - y; break;
            }
            const uint8_t *from = in + ((size_t)sy * w + sx) * channels;
            uint8_t *to = out->data() + ((size_t)y * ow + x) * channels;
            for (int c = 0; c < channels; c++)
                to[c] = from[c];
        }
}

/* The decoded frame converted to `format` (GRAY8 or RGB24) and turned upright into out. libswscale's
 * vector code writes whole blocks of pixels, past a row's end and the last row's: it is given rows of a
 * stride aligned to 64 bytes and a row to spare, and the rows are then packed. */
static bool convert(VideoReader *r, SwsContext **context, AVPixelFormat format, int channels, std::vector<uint8_t> *out)
{
    const AVFrame *f = r->frame;
    *context = sws_getCachedContext(*context, f->width, f->height, (AVPixelFormat)f->format, f->width, f->height, format,
                                    SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!*context)
        return false;
    size_t row = (size_t)f->width * channels, stride = (row + 63) / 64 * 64;
    std::vector<uint8_t> scaled(stride * ((size_t)f->height + 1));
    uint8_t *planes[1] = {scaled.data()};
    int strides[1] = {(int)stride};
    sws_scale(*context, f->data, f->linesize, 0, f->height, planes, strides);
    std::vector<uint8_t> packed(row * f->height);
    for (int y = 0; y < f->height; y++)
        std::copy_n(&scaled[(size_t)y * stride], row, &packed[(size_t)y * row]);
    if (r->turn == TURN_NONE)
        *out = std::move(packed);
    else
        turn_plane(packed.data(), f->width, f->height, channels, r->turn, out);
    return true;
}

/* The frame just received, as out; false when it can't be converted. */
static bool take_frame(VideoReader *r, VideoFrame *out)
{
    const AVFrame *f = r->frame;
    if (f->width <= 0 || f->height <= 0 || (int64_t)f->width * f->height > largest_frame_pixels)
        return false;
    AVRational base = r->format->streams[r->stream]->time_base;
    int64_t stamp = f->best_effort_timestamp;
    double seconds = stamp == AV_NOPTS_VALUE ? r->last + 1.0 / video_rate(r) : stamp * av_q2d(base);
    if (!r->timed) {
        r->first = seconds;
        r->timed = true;
    }
    r->last = seconds;
    out->seconds = seconds - r->first;
    out->width = swaps_sides(r->turn) ? f->height : f->width;
    out->height = swaps_sides(r->turn) ? f->width : f->height;
    if (!convert(r, &r->gray, AV_PIX_FMT_GRAY8, 1, &out->gray))
        return false;
    out->picture.width = r->with_rgb ? out->width : 0;
    out->picture.height = r->with_rgb ? out->height : 0;
    return !r->with_rgb || convert(r, &r->rgb, AV_PIX_FMT_RGB24, 3, &out->picture.rgb);
}

/* Feeds the decoder the next packet of the stream, or the flush at the end; false at a read error. */
static bool feed(VideoReader *r, std::string *reason)
{
    while (!r->draining) {
        int code = av_read_frame(r->format, r->packet);
        if (code == AVERROR_EOF) {
            r->draining = true;
            avcodec_send_packet(r->codec, nullptr);
            return true;
        }
        if (code < 0) {
            *reason = av_reason(code);
            return false;
        }
        bool ours = r->packet->stream_index == r->stream;
        code = ours ? avcodec_send_packet(r->codec, r->packet) : 0;
        av_packet_unref(r->packet);
        if (code < 0 && code != AVERROR(EAGAIN))
            r->failed++;
        if (ours)
            return true;
    }
    return true;
}

int next_video_frame(VideoReader *r, VideoFrame *frame, std::string *reason)
{
    while (!r->ended) {
        int code = avcodec_receive_frame(r->codec, r->frame);
        if (code == 0) {
            bool damaged = r->frame->decode_error_flags || (r->frame->flags & AV_FRAME_FLAG_CORRUPT);
            bool taken = !damaged && take_frame(r, frame);
            av_frame_unref(r->frame);
            if (taken)
                return 1;
            r->failed++;
        } else if (code == AVERROR_EOF) {
            r->ended = true;
        } else if (code == AVERROR(EAGAIN)) {
            if (!feed(r, reason))
                return -1;
        } else {
            r->failed++;
            if (r->draining)
                r->ended = true;
            else if (!feed(r, reason))
                return -1;
        }
    }
    return 0;
}

size_t video_frames_failed(const VideoReader *r)
{
    return r->failed;
}

double video_rate(const VideoReader *r)
{
    AVRational rate = r->format->streams[r->stream]->avg_frame_rate;
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 30.0;
}

void close_video(VideoReader *r)
{
    if (!r)
        return;
    avcodec_free_context(&r->codec);
    avformat_close_input(&r->format);
    av_packet_free(&r->packet);
    av_frame_free(&r->frame);
    sws_freeContext(r->gray);
    sws_freeContext(r->rgb);
    delete r;
}
