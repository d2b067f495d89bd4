// Placeholder so the project library has a translation unit before the model lands.
namespace lumetra::project {}
