// Keeps the library non-empty until its pieces land.
namespace tavvel_mainwindow_detail { int placeholder = 0; }
