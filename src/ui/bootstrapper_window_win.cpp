#include "ui/bootstrapper_window_win.h"

#include <algorithm>

#include "localization/localization.h"
#include "localization/messages.h"
#include "logging/logger.h"
#include "ui/embedded_decoding_win.h"
#include "ui/input_win.h"
#include "ui/render_text_win.h"
#include "ui/render_win.h"
#include "ui/scale.h"

namespace tavrin::launcher {

namespace {

constexpr const char* kDefaultTitle = "Tavrin Bootstrapper";
constexpr const char* kWindowFailure = "Failed to initialize the bootstrapper window";
constexpr const char* kCyclingDots = "[...]";

bool Fail(std::string& message)
{
    message = kWindowFailure;
    return false;
}

}  // namespace

cBootstrapperWindow::cBootstrapperWindow(cDpiSource dpiSource) : DpiSource(std::move(dpiSource)) {}

cBootstrapperWindow::cBootstrapperWindow(cWindowOptions options, cDpiSource dpiSource)
    : Options(std::move(options)), DpiSource(std::move(dpiSource))
{
}

cBootstrapperWindow::~cBootstrapperWindow() { Destroy(); }

int32_t cBootstrapperWindow::MonitorDpi() const
{
    return SaneDpi(DpiSource ? DpiSource(WindowHandle) : kBaseDpi);
}

bool cBootstrapperWindow::Create(const cSettings& settings, cLocalization& localization,
                                 const std::string& launcherDirectory,
                                 std::function<void()> fallBackToEnglish, std::string& message)
{
    if (Options.Headless)
        return true;
    std::string title = settings.Title.empty() ? kDefaultTitle : settings.Title;
    if (WindowHandle) {
        LogPrintf(Error, "Called twice!");
        return Fail(message);
    }
    WindowHandle = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    kWindowWidth, kWindowHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (!WindowHandle) {
        LogPrintf(Error, "Window creation failed");
        return Fail(message);
    }
    // The monitor's scale is known once the window is on it; it is still
    // hidden, so nobody sees it change size.
    DrawDpi = MonitorDpi();
    const cUiBounds client = ScaleBounds({0, 0, kWindowWidth, kWindowHeight}, DrawDpi);
    WindowWidth = client.Width;
    WindowHeight = client.Height;
    if (DrawDpi != kBaseDpi) {
        LogPrintf(Info, "The monitor is at %d DPI: the window is %dx%d pixels.", DrawDpi, WindowWidth,
                  WindowHeight);
        SDL_SetWindowSize(WindowHandle, WindowWidth, WindowHeight);
        SDL_SetWindowPosition(WindowHandle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    if (RendererHandle)
        SDL_DestroyRenderer(RendererHandle);
    RendererHandle = SDL_CreateRenderer(WindowHandle, -1, SDL_RENDERER_SOFTWARE);
    if (!RendererHandle) {
        LogPrintf(Info, "Renderer creation failed with: '%s'", SDL_GetError());
        LogPrintf(Error, "Renderer creation failed!");
        return Fail(message);
    }
    if (!LoadAssetsAndElements(settings, localization, launcherDirectory, std::move(fallBackToEnglish),
                               message))
        return false;
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    PointerState.MoveTo(x, y);
    SetWindowIcon(WindowHandle, Options.IconPath, settings.Executable, Icons);
    return true;
}

bool cBootstrapperWindow::CreateOffscreen(SDL_Renderer* renderer, const cSettings& settings,
                                          cLocalization& localization, const std::string& launcherDirectory,
                                          std::string& message)
{
    if (WindowHandle || RendererHandle) {
        LogPrintf(Error, "Called twice!");
        return Fail(message);
    }
    if (!renderer)
        return Fail(message);
    RendererHandle = renderer;
    DrawDpi = MonitorDpi();
    const cUiBounds client = ScaleBounds({0, 0, kWindowWidth, kWindowHeight}, DrawDpi);
    WindowWidth = client.Width;
    WindowHeight = client.Height;
    return LoadAssetsAndElements(settings, localization, launcherDirectory, {}, message);
}

bool cBootstrapperWindow::LoadAssetsAndElements(const cSettings& settings, cLocalization& localization,
                                                const std::string& launcherDirectory,
                                                std::function<void()> fallBackToEnglish, std::string& message)
{
    SDL_SetRenderDrawBlendMode(RendererHandle, SDL_BLENDMODE_BLEND);
    if (!LoadAssetsWithSplash(RendererHandle, settings.RequestedSplash, launcherDirectory, localization,
                              std::move(fallBackToEnglish), AssetStore, DrawDpi)) {
        message = "Failed to load the embedded resources.";
        LogPrintf(Error, "%s", message.c_str());
        return false;
    }
    LogPrintf(Info, "Embedded resources successfully loaded.");
    return CreateElements(settings, localization, message);
}

bool cBootstrapperWindow::CreateElements(const cSettings& settings, cLocalization& localization,
                                         std::string& message)
{
    Localization = &localization;
    if (DrawDpi == 0)
        DrawDpi = MonitorDpi();
    if (WindowWidth == 0 || WindowHeight == 0) {
        const cUiBounds client = ScaleBounds({0, 0, kWindowWidth, kWindowHeight}, DrawDpi);
        WindowWidth = client.Width;
        WindowHeight = client.Height;
    }
    if (!Scene.Populate([this](const char* pressed) { ButtonPressed(pressed); })) {
        message = "Failed to create the user interface elements.";
        return false;
    }
    Scene.BuildGroups(settings.HideGui, settings.HideBootstrapper, settings.HideLogoAnimation);
    if (!InitializeElements(localization)) {
        message = "Failed to initialize the user interface elements.";
        return false;
    }
    return true;
}

void cBootstrapperWindow::ButtonPressed(const char* message)
{
    LogPrintf(Info, "%s", message);
    if (OnExitRequested)
        OnExitRequested();
}

std::shared_ptr<cUiFont> cBootstrapperWindow::MakeFont(int32_t key)
{
    return std::make_shared<cSdlFont>(AssetStore.Font(key), RendererHandle, DrawDpi);
}

bool cBootstrapperWindow::InitializeElements(cLocalization& localization)
{
    bool complete = true;
    for (int32_t key = FontKeyRegular; key <= FontKeyExitCaption; ++key)
        complete = complete && AssetStore.Font(key) != nullptr;
    for (int32_t key = TextureSplash; key <= TextureLogoSheet; ++key)
        complete = complete && AssetStore.Texture(key) != nullptr;
    if (!complete) {
        LogPrintf(Error, "Failed at retrieving one or more required assets");
        return false;
    }
    FindImage(SplashImage)->AttachTexture(BorrowTexture(TextureSplash));
    if (cUiTextureRef logo = BorrowTexture(TextureLogo))
        FindImage(HiddenLogo)->AttachTexture(logo);

    std::shared_ptr<cUiButton> close = FindButton(CloseButton);
    if (close->Type == ElementType::TextButton)
        LogPrintf(Error, "Tried initializing for the wrong type, current %u, attempted: %u.",
                  static_cast<uint32_t>(ElementType::TextButton),
                  static_cast<uint32_t>(ElementType::ImageButton));
    else
        close->ImageChild->AttachTexture(BorrowTexture(TextureClose));

    std::shared_ptr<cUiAnimation> logo = FindAnimation(LogoAnimation);
    logo->AttachTexture(BorrowTexture(TextureLogoSheet));
    logo->FrameWidth = kLogoFrameWidth;
    logo->FrameHeight = kLogoFrameHeight;
    logo->Source = {0, 0, kLogoFrameWidth, kLogoFrameHeight};
    cSheetPlan sheet = PlanSheet(logo->Width, logo->Height, kLogoFrameWidth, kLogoFrameHeight);
    logo->Layout = sheet.Layout;
    logo->FrameCount = sheet.FrameCount;
    logo->CountdownNs = logo->FramePeriodNs;
    logo->FrameIndex = 0;
    logo->Held = !AssetStore.TextureCovers(TextureLogoSheet, 0, 0, AssetStore.TextureWidth(TextureLogoSheet),
                                           AssetStore.TextureHeight(TextureLogoSheet));

    FindText(StatusText)->Font = MakeFont(FontKeyStatus);
    FindText(PercentText)->Font = MakeFont(FontKeyPercent);
    FindText(ErrorTitle)->Font = MakeFont(FontKeyErrorTitle);
    FindText(ErrorMessage)->Font = MakeFont(FontKeyErrorMessage);

    FindText(StatusText)->SetTextNow(localization.GetText(kMsgLoading.Key, kMsgLoading.Text) + kCyclingDots);
    FindText(PercentText)->SetTextNow("0%");

    LayoutImages();
    LayoutProgressBar();
    LayoutOverlay();
    LayoutTexts();
    LayoutExitButton(AssetStore.Font(FontKeyExitCaption));
    return true;
}

cUiTextureRef cBootstrapperWindow::BorrowTexture(int32_t key) const
{
    if (!AssetStore.Texture(key))
        return nullptr;
    return std::make_shared<cSdlTexture>(AssetStore.Texture(key), AssetStore.TextureWidth(key),
                                         AssetStore.TextureHeight(key), false);
}

void cBootstrapperWindow::CompleteLogoSheet()
{
    if (!AssetStore.CompleteTexture(TextureLogoSheet, RendererHandle))
        return;
    if (auto logo = FindAnimation(LogoAnimation)) {
        logo->AttachTexture(BorrowTexture(TextureLogoSheet));
        logo->Held = false;
    }
}

void cBootstrapperWindow::CompleteLogoSheetOnceDecoded()
{
    if (!AssetStore.CompletionWouldWait(TextureLogoSheet))
        CompleteLogoSheet();
}

void cBootstrapperWindow::CompleteLogoSheetForItsFrame()
{
    auto logo = FindAnimation(LogoAnimation);
    if (logo && !AssetStore.TextureCovers(TextureLogoSheet, logo->Source.X, logo->Source.Y,
                                          logo->Source.Width, logo->Source.Height))
        CompleteLogoSheet();
}

cSplashLayout cBootstrapperWindow::CurrentLayout() const
{
    cSplashContent content;
    if (auto close = FindButton(CloseButton); close && close->ImageChild && close->ImageChild->Texture) {
        content.CloseWidth = close->ImageChild->Texture->Width;
        content.CloseHeight = close->ImageChild->Texture->Height;
    }
    if (auto status = FindText(StatusText))
        status->SizeAboutToShow(content.Status.Width, content.Status.Height);
    if (auto percent = FindText(PercentText)) {
        percent->SizeAboutToShow(content.Percent.Width, content.Percent.Height);
        content.PercentColumnWidth = content.Percent.Width;
        // While downloading the column is as wide as "100%", so it stays put as the number grows.
        if (State == 2 && percent->Font)
            percent->Font->MeasureText("100%", content.PercentColumnWidth);
    }
    if (auto title = FindText(ErrorTitle))
        title->SizeAboutToShow(content.ErrorTitle.Width, content.ErrorTitle.Height);
    if (auto message = FindText(ErrorMessage))
        message->SizeAboutToShow(content.ErrorMessage.Width, content.ErrorMessage.Height);
    if (auto exit = FindButton(ExitButton); exit && exit->TextChild)
        exit->TextChild->SizeAboutToShow(content.ExitCaption.Width, content.ExitCaption.Height);
    return ComputeSplashLayout(DrawDpi, content);
}

void cBootstrapperWindow::PlaceImages(const cSplashLayout& layout)
{
    if (auto splash = FindImage(SplashImage)) {
        splash->SetPosition(layout.Splash.X, layout.Splash.Y);
        splash->SetSize(layout.Splash.Width, layout.Splash.Height);
    }
    if (auto logo = FindAnimation(LogoAnimation)) {
        logo->SetPosition(layout.Logo.X, layout.Logo.Y);
        logo->ShownWidth = layout.Logo.Width;
        logo->ShownHeight = layout.Logo.Height;
    }
    if (auto hidden = FindImage(HiddenLogo)) {
        hidden->SetPosition(layout.Logo.X, layout.Logo.Y);
        if (hidden->Texture)
            hidden->SetSize(layout.Logo.Width, layout.Logo.Height);
    }
}

void cBootstrapperWindow::LayoutImages()
{
    PlaceImages(CurrentLayout());
    if (auto hidden = FindImage(HiddenLogo)) {
        hidden->SetAlpha(0);
        hidden->AnimationsEnabled = 0;
    }
}

void cBootstrapperWindow::LayoutProgressBar()
{
    const cUiBounds track = CurrentLayout().Track;
    LogPrintf(Verbose, "Called with invalid parameters: %i, %i, %u!", 0, track.Height, 2u);
    if (auto bar = FindRect(ProgressBar)) {
        bar->Width = 0;
        bar->Height = track.Height;
        bar->Colors = {kProgressBarFirstColor, kProgressBarLastColor};
        bar->SetPosition(track.X, track.Y);
    }
    if (auto trackRect = FindRect(ProgressTrack)) {
        trackRect->SetSizeAndColor(track.Width, track.Height, kProgressTrackColor);
        trackRect->SetPosition(track.X, track.Y);
    }
}

void cBootstrapperWindow::LayoutOverlay()
{
    if (auto overlay = FindRect(ErrorOverlay)) {
        const cUiBounds bounds = CurrentLayout().Overlay;
        overlay->SetSizeAndColor(bounds.Width, bounds.Height, kOverlayColor);
        overlay->SetPosition(bounds.X, bounds.Y);
    }
}

void cBootstrapperWindow::LayoutTexts()
{
    LayoutStatusTexts();
    auto title = FindText(ErrorTitle);
    auto overlay = FindRect(ErrorOverlay);
    if (title && overlay && title->CurrentTextures.empty())
        title->SetPosition(CurrentLayout().Window.Width / 2, overlay->Y);
}

void cBootstrapperWindow::LayoutStatusTexts()
{
    auto percent = FindText(PercentText);
    auto status = FindText(StatusText);
    if (!percent || !status)
        return;
    const cSplashLayout layout = CurrentLayout();
    percent->SetPosition(layout.Percent.X, layout.Percent.Y);
    status->SetPosition(layout.Status.X, layout.Status.Y);
}

void cBootstrapperWindow::LayoutExitButton(TTF_Font* font)
{
    auto exit = FindButton(ExitButton);
    auto close = FindButton(CloseButton);
    auto overlay = FindRect(ErrorOverlay);
    if (!exit || !close || !overlay)
        return;
    const cUiBounds face = CurrentLayout().ExitFace;
    std::string caption =
        Localization ? Localization->GetText(kMsgBtnExit.Key, kMsgBtnExit.Text) : kMsgBtnExit.Text;
    if (!font || caption.empty()) {
        LogPrintf(Error, "Called with invalid parameters: %p, '%s'!", static_cast<void*>(font),
                  caption.c_str());
    } else if (exit->Type == ElementType::TextButton) {
        exit->TextChild->Font = std::make_shared<cSdlFont>(font, RendererHandle, DrawDpi);
        exit->RectChild->SetSizeAndColor(face.Width, face.Height, kExitFaceColor);
        exit->TextChild->SetTextNow(caption);
    }
    // Placed after the caption is built: its size centres it.
    const cSplashLayout layout = CurrentLayout();
    exit->SetPosition(face.X, face.Y);
    if (exit->Type == ElementType::TextButton)
        exit->TextChild->SetPosition(layout.ExitCaption.X, layout.ExitCaption.Y);
    close->SetPosition(layout.Close.X, layout.Close.Y);
    if (close->ImageChild && close->ImageChild->Texture)
        close->ImageChild->SetSize(layout.Close.Width, layout.Close.Height);
}

void cBootstrapperWindow::LayoutErrorScreen()
{
    auto title = FindText(ErrorTitle);
    auto message = FindText(ErrorMessage);
    auto exit = FindButton(ExitButton);
    if (!title || !message || !exit)
        return;
    const cSplashLayout layout = CurrentLayout();
    title->SetPosition(layout.ErrorTitle.X, layout.ErrorTitle.Y);
    message->SetPosition(layout.ErrorMessage.X, layout.ErrorMessage.Y);
    exit->SetPosition(layout.ErrorExitFace.X, layout.ErrorExitFace.Y);
    if (exit->Type == ElementType::TextButton)
        exit->TextChild->SetPosition(layout.ErrorExitCaption.X, layout.ErrorExitCaption.Y);
}

bool cBootstrapperWindow::ReopenFontsAndTexts()
{
    if (!Localization)
        return false;
    // The new sizes are opened beside the old ones: the texts keep a working
    // font until each has its new one, and a failure changes nothing.
    cAssetStore resized;
    bool fallBack = false;
    if (!LoadFonts(resized, *Localization, fallBack, DrawDpi) || fallBack) {
        LogPrintf(Error, "Failed to open the fonts at %d DPI, the texts keep their size.", DrawDpi);
        return false;
    }
    std::swap(AssetStore.Fonts, resized.Fonts);
    const std::pair<int32_t, int32_t> texts[] = {
        {StatusText, FontKeyStatus},
        {PercentText, FontKeyPercent},
        {ErrorTitle, FontKeyErrorTitle},
        {ErrorMessage, FontKeyErrorMessage},
    };
    bool rebuilt = true;
    for (const auto& [id, key] : texts) {
        if (auto text = FindText(id)) {
            text->Font = MakeFont(key);
            rebuilt = text->Rebuild() && rebuilt;
        }
    }
    // The caption is built again when the Exit button is laid out.
    if (auto exit = FindButton(ExitButton); exit && exit->TextChild && exit->TextChild->Font)
        exit->TextChild->Font = MakeFont(FontKeyExitCaption);
    return rebuilt;
}

void cBootstrapperWindow::RescaleProgressBar(int32_t fromDpi)
{
    auto bar = FindRect(ProgressBar);
    if (!bar)
        return;
    const cUiBounds track = CurrentLayout().Track;
    bar->Width = std::min(RescaleLength(bar->Width, fromDpi, DrawDpi), track.Width);
    bar->Height = track.Height;
    bar->SetPosition(track.X, track.Y);
    bar->TargetWidth = std::min(RescaleLength(bar->TargetWidth, fromDpi, DrawDpi), track.Width);
    bar->TargetHeight = track.Height;
    bar->WidthStep = std::max(1, RescaleLength(bar->WidthStep, fromDpi, DrawDpi));
    if (auto trackRect = FindRect(ProgressTrack)) {
        trackRect->Width = track.Width;
        trackRect->Height = track.Height;
        trackRect->SetPosition(track.X, track.Y);
    }
}

bool cBootstrapperWindow::FollowMonitorScale()
{
    if (DrawDpi == 0)
        return false;
    const int32_t dpi = MonitorDpi();
    if (dpi == DrawDpi)
        return false;
    LogPrintf(Info, "The window is now on a monitor at %d DPI (was %d DPI): drawing it at that scale.", dpi,
              DrawDpi);
    const int32_t fromDpi = DrawDpi;
    DrawDpi = dpi;
    const cUiBounds client = ScaleBounds({0, 0, kWindowWidth, kWindowHeight}, DrawDpi);
    WindowWidth = client.Width;
    WindowHeight = client.Height;
    if (WindowHandle)
        SDL_SetWindowSize(WindowHandle, WindowWidth, WindowHeight);
    ReopenFontsAndTexts();
    const cSplashLayout layout = CurrentLayout();
    PlaceImages(layout);
    RescaleProgressBar(fromDpi);
    LayoutOverlay();
    LayoutTexts();
    LayoutExitButton(AssetStore.Font(FontKeyExitCaption));
    if (auto title = FindText(ErrorTitle);
        title && (!title->CurrentTextures.empty() || title->HasPendingText()))
        LayoutErrorScreen();
    InvalidateFrame();
    return true;
}

void cBootstrapperWindow::SetScreenTexts(uint32_t kind, const std::string& first, const std::string& second)
{
    if (Options.Headless)
        return;
    if (kind == 1) {
        if (auto status = FindText(StatusText))
            status->SetText(first);
        if (auto percent = FindText(PercentText))
            percent->SetText(second);
        LayoutStatusTexts();
    } else if (kind == 2) {
        if (auto title = FindText(ErrorTitle))
            title->SetText(first);
        if (auto message = FindText(ErrorMessage))
            message->SetText(second);
        LayoutErrorScreen();
    } else {
        LogPrintf(Error, "Called with an invalid value: %u.", kind);
    }
}

void cBootstrapperWindow::ShowProgress(uint32_t percent)
{
    auto track = FindRect(ProgressTrack);
    auto bar = FindRect(ProgressBar);
    auto text = FindText(PercentText);
    if (percent > 100 || !track || !bar || !text)
        return;
    cProgressPlan plan = PlanProgress(percent, track->Width, bar->Width);
    text->SetTextNow(std::to_string(percent) + "%");
    LayoutStatusTexts();
    // The bar takes as long to fill at any scale.
    bar->ResizeTo(plan.Target, bar->Height, ScaleLength(plan.Step, DrawDpi), 1);
}

void cBootstrapperWindow::ShowFullProgress()
{
    auto track = FindRect(ProgressTrack);
    auto bar = FindRect(ProgressBar);
    if (!track || !bar)
        return;
    bar->Width = track->Width;
    bar->Height = track->Height;
    // A resize still running toward an earlier target would shrink the bar again.
    bar->Flags &= ~AnimResizing;
}

void cBootstrapperWindow::ShowErrorExtras()
{
    if (auto logo = FindAnimation(LogoAnimation))
        logo->ShowFrame(logo->FrameCount > 0 ? logo->FrameCount - 1 : 0);
    if (!WindowHandle) {
        LogPrintf(Error, "Called with a null window!");
        return;
    }
    if (SDL_FlashWindow(WindowHandle, SDL_FLASH_UNTIL_FOCUSED) != 0)
        LogPrintf(Error, "Failed to use flash effect with: '%s'.", SDL_GetError());
}

void cBootstrapperWindow::FadeHiddenLogo()
{
    if (auto hidden = FindImage(HiddenLogo))
        hidden->FadeTo(255, kFadeStep);
}

void cBootstrapperWindow::RevealHiddenLogo()
{
    auto hidden = FindImage(HiddenLogo);
    if (!hidden)
        return;
    Scene.MarkHiddenLogoRevealed();
    hidden->AnimationsEnabled = 1;
    hidden->FadeTo(255, kFadeStep);
}

void cBootstrapperWindow::Hide()
{
    if (WindowHandle)
        SDL_HideWindow(WindowHandle);
}

void cBootstrapperWindow::DestroyIcons() { Icons.Clear(); }

void cBootstrapperWindow::ReleaseMouse() { EndDrag(*this); }

void cBootstrapperWindow::Destroy()
{
    ReleaseMouse();
    // Text textures belong to the renderer: release them while it exists.
    Scene.Clear();
    AssetStore.Clear();
    if (RendererHandle)
        SDL_DestroyRenderer(RendererHandle);
    RendererHandle = nullptr;
    if (WindowHandle)
        SDL_DestroyWindow(WindowHandle);
    WindowHandle = nullptr;
    Presented = false;
}

void cBootstrapperWindow::ApplyVisibility(int32_t state, const cSettings& settings)
{
    switch (state) {
    case 1:
    case 3:
        break;
    case 2:
    case 4:
        if (settings.HideBootstrapper)
            LogPrintf(Verbose, "Will keep the bootstrapper window hidden.");
        else if (WindowHandle)
            SDL_ShowWindow(WindowHandle);
        break;
    case 5:
        if (settings.HideBootstrapper)
            LogPrintf(
                Info,
                "Making the bootstrapper window visible to display information about an occurred error.");
        if (WindowHandle)
            SDL_ShowWindow(WindowHandle);
        break;
    default:
        LogPrintf(Error, "Called with unsupported state: %u!", static_cast<uint32_t>(state));
        break;
    }
}

void cBootstrapperWindow::ApplyStateGroup(int32_t state, const cSettings& settings)
{
    StateGroup group = GroupLoading;
    if (!GroupForState(state, group))
        LogPrintf(Error, "Called with an unsupported value: %u.", static_cast<uint32_t>(state));
    Scene.Activate(group);
    if (auto close = FindButton(CloseButton))
        close->Enabled = state == 2 || state == 5;
    Scene.FadeFor(group);
    ApplyVisibility(state, settings);
    State = state;
}

bool cBootstrapperWindow::UpdateAndDraw(int64_t framePeriodNs)
{
    // The first frame shows only the logo's first frame: the rest of the
    // sheet is made once that frame is on the screen and the sheet decoded.
    if (Presented)
        CompleteLogoSheetOnceDecoded();
    std::vector<cUiElementRef> active = ActiveElementsCopy();
    if (active.empty())
        LogPrintf(Error, "Called without active elements to update.");
    for (const cUiElementRef& element : active)
        element->Update(framePeriodNs);
    if (!RendererHandle)
        return false;
    CompleteLogoSheetForItsFrame();
    // A settled screen (the error screen, a held logo) would otherwise cost a
    // full software redraw and blit every 16 ms for nothing.
    cFrameSignature frame = SignFrame(active);
    if (FrameOnScreen && frame == LastFrame)
        return false;
    SDL_RenderClear(RendererHandle);
    Draw();
    SDL_RenderPresent(RendererHandle);
    // The rest of the logo sheet is decoded once the first frame is out: done
    // beside the window's start it slowed the start down.
    if (!Presented)
        ResumeEmbeddedTextureDecoding();
    LastFrame = std::move(frame);
    FrameOnScreen = true;
    Presented = true;
    return true;
}

void cBootstrapperWindow::Draw()
{
    CompleteLogoSheetForItsFrame();
    for (const cUiElementRef& element : ActiveElementsCopy())
        DrawElement(RendererHandle, element.get(), ScaleLength(1, DrawDpi));
}

void cBootstrapperWindow::HandleEvent(const SDL_Event& event)
{
    if (event.type != SDL_WINDOWEVENT) {
        HandleInputEvent(*this, event);
        return;
    }
    // SDL keeps the window's size in pixels when Windows moves it to a
    // monitor of another scale; the splash follows the new scale itself.
    const bool ours = WindowHandle != nullptr && event.window.windowID == SDL_GetWindowID(WindowHandle);
    if (ours && (event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED ||
                 event.window.event == SDL_WINDOWEVENT_MOVED))
        FollowMonitorScale();
}

}  // namespace tavrin::launcher
