// Platform-free stand-ins for the SDL side of the element model, and a log
// capture, for the element, text and layout tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/logger.h"
#include "ui/elements.h"

namespace tavrin::launcher::test {

// Records every opacity it is given.
class cFakeTexture : public cUiTexture {
public:
    cFakeTexture(int32_t width = 0, int32_t height = 0, bool present = true) : Present(present)
    {
        Width = width;
        Height = height;
    }
    bool HasTexture() const override { return Present; }
    void ApplyAlpha(uint8_t alpha) override { Alphas.push_back(alpha); }

    bool Present;
    std::vector<uint8_t> Alphas;
};

// Measures and renders at a fixed number of pixels per byte, 20 pixels high
// unless told otherwise.
class cFakeFont : public cUiFont {
public:
    bool MeasureText(const std::string& text, int32_t& width) override
    {
        if (FailMeasure)
            return false;
        width = FixedWidth >= 0 ? FixedWidth : static_cast<int32_t>(text.size()) * PixelsPerByte;
        return true;
    }
    cUiTextureRef NewTexture() override { return std::make_shared<cFakeTexture>(0, 0, false); }
    bool RenderLine(const std::string& piece, cUiColor, cUiTexture& record) override
    {
        if (piece.empty() || piece == FailOn)
            return false;
        Rendered.push_back(piece);
        static_cast<cFakeTexture&>(record).Present = true;
        record.Width = static_cast<int32_t>(piece.size()) * PixelsPerByte;
        record.Height = LineHeight;
        return true;
    }
    int32_t Dpi() const override { return FontDpi; }

    int32_t PixelsPerByte = 10;
    int32_t LineHeight = 20;
    int32_t FontDpi = 96;
    int32_t FixedWidth = -1;
    bool FailMeasure = false;
    std::string FailOn;
    std::vector<std::string> Rendered;
};

// Collects the logged lines (every level) while it lives.
class cLineCapture {
public:
    cLineCapture()
    {
        Current() = this;
        Logger.InstallSink(&cLineCapture::Collect, VeryVerbose);
        Logger.Worker.Start();
        gLogger = &Logger;
    }
    ~cLineCapture()
    {
        Logger.Worker.Drain();
        gLogger = nullptr;
        Current() = nullptr;
    }
    cLineCapture(const cLineCapture&) = delete;
    cLineCapture& operator=(const cLineCapture&) = delete;

    size_t Count(const std::string& text)
    {
        // Lines are written on the logger's thread; wait (bounded) until it caught up.
        for (int i = 0; i < 2000 && Logger.Worker.ExecutedCount() < Logger.Worker.PostedCount(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard<std::mutex> guard(Lock);
        size_t count = 0;
        for (const std::string& line : Lines)
            count += line.find(text) != std::string::npos ? 1 : 0;
        return count;
    }

private:
    static cLineCapture*& Current()
    {
        static cLineCapture* current = nullptr;
        return current;
    }
    static void Collect(uint32_t, const char* line)
    {
        if (cLineCapture* self = Current()) {
            std::lock_guard<std::mutex> guard(self->Lock);
            self->Lines.emplace_back(line);
        }
    }

    cLogger Logger;
    std::mutex Lock;
    std::vector<std::string> Lines;
};

}  // namespace tavrin::launcher::test
