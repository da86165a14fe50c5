// Ogg Vorbis in and out, in memory. The encoder is fed exactly the rendered
// frames; the last page's granule position records that count, so a decoder
// gives back exactly as many frames, which keeps loops seamless.
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

#include "synth.h"

namespace synth {
namespace {

void AppendPage(const ogg_page& page, std::vector<uint8_t>& out) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

struct MemoryFile {
    const std::vector<uint8_t>* data;
    size_t at = 0;
};

size_t ReadMemory(void* dest, size_t size, size_t count, void* source) {
    auto* f = static_cast<MemoryFile*>(source);
    size_t want = size * count, left = f->data->size() - f->at;
    size_t n = std::min(want, left);
    std::memcpy(dest, f->data->data() + f->at, n);
    f->at += n;
    return size ? n / size : 0;
}

}  // namespace

bool EncodeOgg(const Audio& audio, float quality, std::vector<uint8_t>& ogg, std::string& error) {
    ogg.clear();
    if (audio.channels < 1 || audio.channels > 2) {
        error = "only mono or stereo";
        return false;
    }
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, audio.channels, kSampleRate, quality) != 0) {
        vorbis_info_clear(&info);
        error = "the Vorbis encoder refused the settings";
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "mnemora synth");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x4D4E4D52);  // a fixed serial number keeps the output repeatable

    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(page, ogg);

    const int64_t frames = audio.Frames();
    const int64_t chunk = 4096;
    int64_t at = 0;
    bool done = false;
    while (!done) {
        const int64_t n = std::min(chunk, frames - at);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (int64_t i = 0; i < n; ++i)
                for (int c = 0; c < audio.channels; ++c)
                    buffer[c][i] = audio.samples[size_t((at + i) * audio.channels + c)];
            vorbis_analysis_wrote(&dsp, int(n));
            at += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0);  // end of stream: the last packet gets the count
            done = true;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                    AppendPage(page, ogg);
            }
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(page, ogg);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return true;
}

bool DecodeOgg(const std::vector<uint8_t>& ogg, Audio& audio, int& rate, std::string& error) {
    audio = Audio();
    MemoryFile file{&ogg};
    ov_callbacks callbacks = {ReadMemory, nullptr, nullptr, nullptr};
    OggVorbis_File vf;
    if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) {
        error = "not an Ogg Vorbis stream";
        return false;
    }
    vorbis_info* info = ov_info(&vf, -1);
    audio.channels = info->channels;
    rate = int(info->rate);
    bool ok = true;
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n == 0) break;
        if (n < 0) {
            error = "the stream is damaged";
            ok = false;
            break;
        }
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < audio.channels; ++c)
                audio.samples.push_back(pcm[c][i]);
    }
    ov_clear(&vf);
    return ok;
}

}  // namespace synth
