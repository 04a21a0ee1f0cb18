// Helpers of the GUI tests: event pumping, a scratch folder with pictures,
// rendering a control into a memory bitmap, and pixel checks.
#pragma once

#include <filesystem>
#include <functional>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/frame.h>
#include <wx/image.h>

namespace tessaly::test {

// Handles pending events (and deferred deletions) until `done` holds or
// `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000);
void PumpFor(int milliseconds);

// A fresh, empty folder for one test, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A picture whose pixel (x, y) has a colour that encodes x and y, so a test
// can tell which part of it landed where.
wxImage PatternPicture(int width, int height);
wxColour PatternColour(int x, int y);
void SaveBmp(const wxImage& picture, const std::filesystem::path& path);

// Paints into a `size` bitmap pre-filled with `fill` and returns the image.
wxImage RenderToImage(const wxSize& size, const std::function<void(wxDC&)>& paint,
                      const wxColour& fill = wxColour(255, 0, 255));

wxColour PixelAt(const wxImage& image, int x, int y);
// How many pixels of `area` have exactly `colour`.
int CountColour(const wxImage& image, const wxRect& area, const wxColour& colour);

// Allows modal dialogs for the scope's lifetime; others fail the test.
class AllowModal {
public:
    AllowModal();
    ~AllowModal();
};

// A shown top-level frame with a panel for hosting controls (a frame would
// stretch a single child over its client area), destroyed with the object.
class HostFrame {
public:
    HostFrame();
    ~HostFrame();
    wxWindow* operator->() const { return m_panel; }
    wxWindow* Get() const { return m_panel; }
    wxFrame* Frame() const { return m_frame; }

private:
    wxFrame* m_frame;
    wxWindow* m_panel;
};

}  // namespace tessaly::test
