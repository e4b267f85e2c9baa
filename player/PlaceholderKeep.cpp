// Keeps velplaylib non-empty until the window lands.
namespace velplay { int placeholder() { return 0; } }
