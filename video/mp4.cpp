/* H.264 in MP4 through FFmpeg's libraries, the encode loop of FFmpeg's
 * own muxing example: RGB pictures converted to yuv420p, every frame's
 * packets written as the encoder gives them, then a flush. */
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <math.h>
#include <string.h>

#include <algorithm>
#include <thread>

#include "encode.h"
#include "mp4_comment.h"

struct Mp4Writer {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVStream *stream = nullptr;
    SwsContext *scale = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    int64_t next_pts = 0;   /* the next frame's time in the stream's ticks, at least */
    std::string path;
};

/* Frames at times of their own are placed to 1/90000 s, the MPEG clock. */
static const AVRational timed_ticks = {1, 90000};

static void free_writer(Mp4Writer *w)
{
    if (w->format && w->format->pb)
        avio_closep(&w->format->pb);
    avformat_free_context(w->format);
    avcodec_free_context(&w->codec);
    sws_freeContext(w->scale);
    av_frame_free(&w->frame);
    av_packet_free(&w->packet);
    delete w;
}

static bool failed(Mp4Writer *w, const char *what, int code, std::string *error)
{
    char reason[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(code, reason, sizeof reason);
    if (error) /* null after an earlier error, which is the one to report */
        *error = w->path + ": the MP4 can't be written: " + what + (reason[0] ? std::string(" (") + reason + ")" : "");
    return false;
}

/* libx264 at preset superfast, tuned for animation (flat colours with sharp
 * edges), constant quality 23: measured on exhibit 5 at 640 x 1024, the
 * file of 1.1 MB comes in 1.05 s where veryfast at 20 took 1.2 s for
 * 0.6 MB, and its frames differ from the stills by as little. One thread
 * on a machine of two processors, where the drawing takes the other;
 * x264's own choice on larger ones. */
static int open_encoder(Mp4Writer *w, int width, int height, AVRational fps, AVRational ticks)
{
    const AVCodec *h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264 || !(w->codec = avcodec_alloc_context3(h264)))
        return AVERROR_ENCODER_NOT_FOUND;
    w->codec->width = width;
    w->codec->height = height;
    w->codec->pix_fmt = AV_PIX_FMT_YUV420P;
    w->codec->time_base = ticks;
    w->codec->framerate = fps;
    w->codec->gop_size = (int)ceil(av_q2d(fps));
    if (w->format->oformat->flags & AVFMT_GLOBALHEADER)
        w->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(w->codec->priv_data, "preset", "superfast", 0);
    av_opt_set(w->codec->priv_data, "tune", "animation", 0);
    av_opt_set(w->codec->priv_data, "crf", "23", 0);
    w->codec->thread_count = std::thread::hardware_concurrency() <= 2 ? 1 : 0;
    return avcodec_open2(w->codec, h264, nullptr);
}

static bool open_writer(const std::string &path, int width, int height, double fps, bool timed, Mp4Writer **out,
                        std::string *error)
{
    av_log_set_level(AV_LOG_ERROR); /* libx264 reports its settings and statistics otherwise */
    Mp4Writer *w = new Mp4Writer;
    w->path = path;
    int code = avformat_alloc_output_context2(&w->format, nullptr, "mp4", path.c_str());
    if (code < 0 || !w->format) {
        failed(w, "no MP4 muxer", code, error);
        free_writer(w);
        return false;
    }
    AVRational rate = av_d2q(fps, 100000);
    if ((code = open_encoder(w, width, height, rate, timed ? timed_ticks : av_inv_q(rate))) < 0) {
        failed(w, "no H.264 encoder (libx264)", code, error);
        free_writer(w);
        return false;
    }
    w->stream = avformat_new_stream(w->format, nullptr);
    w->frame = av_frame_alloc();
    w->packet = av_packet_alloc();
    w->scale = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
                              nullptr, nullptr, nullptr);
    bool ready = w->stream && w->frame && w->packet && w->scale;
    if (ready) {
        w->stream->time_base = w->codec->time_base;
        w->stream->avg_frame_rate = w->codec->framerate;
        w->frame->format = AV_PIX_FMT_YUV420P;
        w->frame->width = width;
        w->frame->height = height;
    }
    code = !ready ? AVERROR(ENOMEM) : avcodec_parameters_from_context(w->stream->codecpar, w->codec);
    if (code >= 0)
        code = av_frame_get_buffer(w->frame, 0);
    if (code >= 0)
        code = av_dict_set(&w->format->metadata, "comment", mienscope_video_comment, 0);
    if (code >= 0)
        code = avio_open(&w->format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (code >= 0)
        code = avformat_write_header(w->format, nullptr);
    if (code < 0) {
        failed(w, "the stream can't be set up", code, error);
        free_writer(w);
        return false;
    }
    *out = w;
    return true;
}

bool mp4_open(const std::string &path, int width, int height, double fps, Mp4Writer **out, std::string *error)
{
    return open_writer(path, width, height, fps, false, out, error);
}

bool mp4_open_timed(const std::string &path, int width, int height, double fps, Mp4Writer **out, std::string *error)
{
    return open_writer(path, width, height, fps, true, out, error);
}

/* Sends a frame (or nullptr to flush) and writes every packet that comes back. */
static int encode(Mp4Writer *w, AVFrame *frame)
{
    int code = avcodec_send_frame(w->codec, frame);
    while (code >= 0) {
        code = avcodec_receive_packet(w->codec, w->packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return 0;
        if (code < 0)
            return code;
        av_packet_rescale_ts(w->packet, w->codec->time_base, w->stream->time_base);
        w->packet->stream_index = w->stream->index;
        code = av_interleaved_write_frame(w->format, w->packet);
    }
    return code;
}

/* The picture as the frame of time pts, in the codec's ticks. */
static bool add_frame(Mp4Writer *w, const Picture &picture, int64_t pts, std::string *error)
{
    int code = av_frame_make_writable(w->frame);
    const uint8_t *source[1] = {picture.rgb.data()};
    const int stride[1] = {picture.width * 3};
    if (code >= 0) {
        sws_scale(w->scale, source, stride, 0, picture.height, w->frame->data, w->frame->linesize);
        w->frame->pts = pts;
        w->next_pts = pts + 1;
        code = encode(w, w->frame);
    }
    return code >= 0 || failed(w, "a frame can't be encoded", code, error);
}

bool mp4_add(Mp4Writer *w, const Picture &picture, std::string *error)
{
    return add_frame(w, picture, w->next_pts, error);
}

/* A time that rounds onto the frame before's tick is moved to the next tick, so times keep their order. */
bool mp4_add_at(Mp4Writer *w, const Picture &picture, double seconds, std::string *error)
{
    int64_t pts = llround(seconds / av_q2d(w->codec->time_base));
    return add_frame(w, picture, pts > w->next_pts ? pts : w->next_pts, error);
}

bool mp4_finish(Mp4Writer *w, std::string *error)
{
    int code = encode(w, nullptr);
    if (code >= 0)
        code = av_write_trailer(w->format);
    bool ok = code >= 0 || failed(w, "the file can't be finished", code, error);
    free_writer(w);
    return ok;
}

Picture padded_to_even(const Picture &picture)
{
    Picture out;
    out.width = picture.width + picture.width % 2;
    out.height = picture.height + picture.height % 2;
    out.rgb.assign((size_t)out.width * out.height * 3, 0);
    for (int y = 0; y < picture.height; y++)
        std::copy_n(&picture.rgb[(size_t)y * picture.width * 3], (size_t)picture.width * 3,
                    &out.rgb[(size_t)y * out.width * 3]);
    return out;
}
