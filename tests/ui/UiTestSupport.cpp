#include "UiTestSupport.h"

#include <atomic>
#include <chrono>
#include <random>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/panel.h>
#include <wx/utils.h>

namespace tessaly::test {

extern std::atomic<int> g_allowModal;

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        PumpFor(5);
    }
    return true;
}

void PumpFor(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        while (loop && loop->Pending()) loop->Dispatch();
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        wxMilliSleep(1);
    } while (std::chrono::steady_clock::now() < end);
}

ScratchFolder::ScratchFolder() {
    std::random_device random;
    m_path =
        std::filesystem::temp_directory_path() / ("tessaly-ui-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

wxColour PatternColour(int x, int y) {
    return wxColour(static_cast<unsigned char>(x), static_cast<unsigned char>(y),
                    static_cast<unsigned char>(0x40 + ((x >> 8) << 4) + (y >> 8)));
}

wxImage PatternPicture(int width, int height) {
    wxImage picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const wxColour c = PatternColour(x, y);
            picture.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
        }
    }
    return picture;
}

void SaveBmp(const wxImage& picture, const std::filesystem::path& path) {
    picture.SaveFile(wxString(path.native()), wxBITMAP_TYPE_BMP);
}

wxImage RenderToImage(const wxSize& size, const std::function<void(wxDC&)>& paint, const wxColour& fill) {
    wxBitmap bitmap(size, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(fill));
        dc.Clear();
        paint(dc);
    }
    return bitmap.ConvertToImage();
}

wxColour PixelAt(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

int CountColour(const wxImage& image, const wxRect& area, const wxColour& colour) {
    int count = 0;
    for (int y = area.GetTop(); y <= area.GetBottom(); ++y)
        for (int x = area.GetLeft(); x <= area.GetRight(); ++x) count += PixelAt(image, x, y) == colour ? 1 : 0;
    return count;
}

AllowModal::AllowModal() { ++g_allowModal; }
AllowModal::~AllowModal() { --g_allowModal; }

HostFrame::HostFrame()
    : m_frame(new wxFrame(nullptr, wxID_ANY, "ui test", wxPoint(20, 20))), m_panel(new wxPanel(m_frame)) {
    m_frame->SetClientSize(400, 300);
    m_frame->Show();
}

HostFrame::~HostFrame() {
    m_frame->Destroy();
    PumpFor(1);
}

}  // namespace tessaly::test
