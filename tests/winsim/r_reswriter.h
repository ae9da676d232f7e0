// Writes small .res files (the format windres -O res produces) for the module and resource tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

namespace rtest {

class ResWriter {
public:
    ResWriter() {
        // Every .res file starts with an empty record.
        Record(Id(0), Id(0), 0, {});
    }

    // A resource with ordinal type and name.
    ResWriter& Add(WORD type, WORD name, WORD lang, const std::vector<uint8_t>& data) {
        Record(Id(type), Id(name), lang, data);
        return *this;
    }
    // A resource with an ordinal type and a string name.
    ResWriter& Add(WORD type, const std::u16string& name, WORD lang, const std::vector<uint8_t>& data) {
        Record(Id(type), Str(name), lang, data);
        return *this;
    }
    // String table block `block` (ids (block-1)*16 ...): up to 16 strings, the rest empty.
    ResWriter& Strings(WORD block, WORD lang, const std::vector<std::u16string>& strings) {
        std::vector<uint8_t> data;
        for (size_t i = 0; i < 16; ++i) {
            std::u16string s = i < strings.size() ? strings[i] : std::u16string();
            Put16(data, uint16_t(s.size()));
            for (char16_t c : s)
                Put16(data, c);
        }
        return Add(6, block, lang, data);
    }
    // A group icon (or cursor) `id` naming one image `imageId`, and that image.
    ResWriter& Icon(WORD id, WORD imageId, bool cursor = false) {
        std::vector<uint8_t> image(40, 0);
        image[0] = 40;  // a BITMAPINFOHEADER is enough for the directory to point at
        Add(cursor ? 1 : 3, imageId, 0x409, image);
        std::vector<uint8_t> dir;
        Put16(dir, 0);
        Put16(dir, cursor ? 2 : 1);
        Put16(dir, 1);
        for (uint8_t b : {32, 32, 0, 0})
            dir.push_back(b);
        Put16(dir, 1);
        Put16(dir, 32);
        Put32(dir, uint32_t(image.size()));
        Put16(dir, imageId);
        return Add(cursor ? 12 : 14, id, 0x409, dir);
    }

    std::vector<uint8_t> Bytes() const { return m_bytes; }

    // Writes the file under a name no other test uses (winsim reads each .res path once per run);
    // the process id keeps tests that ctest runs side by side from writing the same file.
    std::string Write(const std::string& tag) const {
        static int serial = 0;
        std::string path = ::testing::TempDir() + "winsim_r_" + tag + "_" + std::to_string(::getpid()) + "_" +
                           std::to_string(++serial) + ".res";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(m_bytes.data()), std::streamsize(m_bytes.size()));
        return path;
    }

private:
    static void Put16(std::vector<uint8_t>& b, uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    }
    static void Put32(std::vector<uint8_t>& b, uint32_t v) {
        Put16(b, uint16_t(v));
        Put16(b, uint16_t(v >> 16));
    }
    static std::vector<uint8_t> Id(WORD ordinal) {
        std::vector<uint8_t> b;
        Put16(b, 0xFFFF);
        Put16(b, ordinal);
        return b;
    }
    static std::vector<uint8_t> Str(const std::u16string& s) {
        std::vector<uint8_t> b;
        for (char16_t c : s)
            Put16(b, c);
        Put16(b, 0);
        return b;
    }
    void Record(const std::vector<uint8_t>& type, const std::vector<uint8_t>& name, WORD lang,
                const std::vector<uint8_t>& data) {
        std::vector<uint8_t> header;
        header.insert(header.end(), type.begin(), type.end());
        header.insert(header.end(), name.begin(), name.end());
        while ((8 + header.size()) % 4)
            header.push_back(0);
        Put32(header, 0);     // DataVersion
        Put16(header, 0x30);  // MemoryFlags
        Put16(header, lang);
        Put32(header, 0);  // Version
        Put32(header, 0);  // Characteristics
        Put32(m_bytes, uint32_t(data.size()));
        Put32(m_bytes, uint32_t(8 + header.size()));
        m_bytes.insert(m_bytes.end(), header.begin(), header.end());
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        while (m_bytes.size() % 4)
            m_bytes.push_back(0);
    }

    std::vector<uint8_t> m_bytes;
};

}  // namespace rtest
