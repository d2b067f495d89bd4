// Placeholder so the render library has a translation unit before pictures land.
namespace lumetra::render {}
