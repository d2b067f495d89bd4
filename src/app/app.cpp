// Placeholder so the app library has a translation unit until start-up lands.
namespace lumetra::app {}
