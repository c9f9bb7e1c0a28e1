// placeholder until the launcher lands
namespace tavrin::launcher { void LauncherPlaceholder() {} }
