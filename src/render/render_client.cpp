// The blocking client: a private window asks, waits for its one answer and closes.
#include "render/render_client.h"

namespace lumetra::render {

namespace {
// Each ask can be dropped only by a change made meanwhile; past this the caller hears so.
constexpr int32_t kMaxAsks = 64;

class PrivateWindow {
 public:
  explicit PrivateWindow(RenderEngine& engine) : engine_(engine), id_(engine.OpenWindow()) {}
  ~PrivateWindow() { engine_.CloseWindow(id_); }  // releases what is still queued
  PrivateWindow(const PrivateWindow&) = delete;
  PrivateWindow& operator=(const PrivateWindow&) = delete;
  WindowId id() const { return id_; }

 private:
  RenderEngine& engine_;
  WindowId id_;
};
}  // namespace

RenderClientResult RenderTrackPicture(RenderEngine& engine, project::Track* track, float time,
                                      int32_t width, int32_t height, float aspect) {
  RenderClientResult out;
  PrivateWindow window(engine);
  for (int32_t ask = 0; ask < kMaxAsks; ++ask) {
    if (engine.SetRequest(track, time, width, height, aspect, window.id()) == kRenderRefused) {
      out.error = "The picture could not be requested";
      return out;
    }
    bool dropped = false;
    while (!dropped) {
      std::optional<WindowMessage> m = engine.TakeMessage(window.id(), true);
      if (!m) {
        out.error = "No picture came";
        return out;
      }
      switch (m->kind) {
        case WindowMessageKind::kPicture:
          out.picture.reset(PicCopy(m->picture));
          engine.FreePic(m->picture, window.id());
          if (!out.picture) out.error = "No memory";
          return out;
        case WindowMessageKind::kError:
          out.error = m->text;
          return out;
        case WindowMessageKind::kDropped:
          dropped = true;
          break;
        default:
          break;  // region and progress notes do not answer this ask
      }
    }
  }
  out.error = "The picture kept changing while it was made";
  return out;
}

}  // namespace lumetra::render
