// Keeps the library non-empty until the window-system pieces land.
namespace tavvel_platform_gui_detail { int placeholder = 0; }
