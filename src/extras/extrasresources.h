#pragma once

// The pictures of the splash and the Tip of the Day live in a resource file of this static
// library; its registration has to be pulled in explicitly before the first use.
void InitExtrasResources();
