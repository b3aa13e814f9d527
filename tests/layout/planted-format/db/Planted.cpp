// A reader that declares a page offset of its own again: the format check
// must refuse it.
namespace {
constexpr int kRowCountOffset = 12;
}
