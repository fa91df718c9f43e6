#pragma once
// What a loader sent to an Emux hwdep device, as the tests read it back: the
// recording fake's calls, or the record file the preloaded recorder
// (recorder/HwdepRecorder.cpp) wrote for another process.

#include "emux/EmuxRecords.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct HwdepCall
{
    std::uint32_t request = 0;
    std::vector<std::uint8_t> bytes; // a LOAD_PATCH's header and data

    short PatchType() const { return emux::PatchHeader(bytes).type; }
    short Optarg() const { return emux::PatchHeader(bytes).optarg; }
    // The font name an OPEN_PATCH gives.
    std::string Text() const
    {
        soundfont_open_parm open{};
        if (bytes.size() >= sizeof(soundfont_patch_info) + sizeof open)
            std::memcpy(&open, bytes.data() + sizeof(soundfont_patch_info), sizeof open);
        return std::string(open.name, strnlen(open.name, sizeof open.name));
    }
};

// The voice record of a LOAD_INFO call, and the bank:program it goes to.
struct SentVoice
{
    soundfont_voice_rec_hdr header{};
    soundfont_voice_info info{};
};

// The sample record of a LOAD_DATA call and its points.
struct SentSample
{
    soundfont_sample_info info{};
    std::vector<std::uint8_t> data;
};

struct HwdepLog
{
    std::vector<HwdepCall> calls;
    std::vector<std::string> opened; // device names

    // Reads a record file of the preloaded recorder.
    static HwdepLog ReadFile(const std::string& path)
    {
        HwdepLog log;
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::vector<char> raw(in ? static_cast<std::size_t>(in.tellg()) : 0);
        in.seekg(0);
        in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
        std::size_t at = 0;
        while (at + 12 <= raw.size())
        {
            std::uint32_t head[3];
            std::memcpy(head, raw.data() + at, sizeof head);
            at += sizeof head;
            if (head[2] > raw.size() - at)
                break;
            const auto* begin = reinterpret_cast<const std::uint8_t*>(raw.data() + at);
            if (head[0] == 0)
                log.opened.emplace_back(begin, begin + head[2]);
            else if (head[0] == 1)
                log.calls.push_back({head[1], std::vector<std::uint8_t>(begin, begin + head[2])});
            at += head[2];
        }
        return log;
    }

    std::vector<HwdepCall> Patches(short type) const
    {
        std::vector<HwdepCall> found;
        for (const auto& call : calls)
            if (call.request == SNDRV_EMUX_IOCTL_LOAD_PATCH && call.PatchType() == type)
                found.push_back(call);
        return found;
    }

    std::size_t Count(std::uint32_t request) const
    {
        std::size_t n = 0;
        for (const auto& call : calls)
            n += call.request == request ? 1 : 0;
        return n;
    }

    std::vector<SentVoice> Voices() const
    {
        std::vector<SentVoice> voices;
        for (const auto& call : Patches(SNDRV_SFNT_LOAD_INFO))
        {
            const std::size_t header = sizeof(soundfont_patch_info);
            if (call.bytes.size() < header + sizeof(soundfont_voice_rec_hdr))
                continue;
            SentVoice first;
            std::memcpy(&first.header, call.bytes.data() + header, sizeof first.header);
            for (int i = 0; i < first.header.nvoices; ++i)
            {
                SentVoice voice = first;
                const std::size_t at = header + sizeof first.header + std::size_t(i) * sizeof voice.info;
                if (at + sizeof voice.info > call.bytes.size())
                    break;
                std::memcpy(&voice.info, call.bytes.data() + at, sizeof voice.info);
                voices.push_back(voice);
            }
        }
        return voices;
    }

    // Voices(), worked out once.
    const std::vector<SentVoice>& VoiceList() const
    {
        if (!voiceList)
            voiceList = std::make_shared<std::vector<SentVoice>>(Voices());
        return *voiceList;
    }
    mutable std::shared_ptr<std::vector<SentVoice>> voiceList;

    // Samples(), worked out once.
    const std::map<int, SentSample>& SampleMap() const
    {
        if (!sampleMap)
            sampleMap = std::make_shared<std::map<int, SentSample>>(Samples());
        return *sampleMap;
    }
    mutable std::shared_ptr<std::map<int, SentSample>> sampleMap;

    // The samples sent, by sample id.
    std::map<int, SentSample> Samples() const
    {
        std::map<int, SentSample> samples;
        for (const auto& call : Patches(SNDRV_SFNT_LOAD_DATA))
        {
            const std::size_t header = sizeof(soundfont_patch_info);
            SentSample sample;
            if (call.bytes.size() < header + sizeof sample.info)
                continue;
            std::memcpy(&sample.info, call.bytes.data() + header, sizeof sample.info);
            sample.data.assign(call.bytes.begin() + static_cast<std::ptrdiff_t>(header + sizeof sample.info),
                               call.bytes.end());
            samples[sample.info.sample] = sample;
        }
        return samples;
    }
};
