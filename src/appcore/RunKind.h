#pragma once

// Where a model's one run stands: before any, under way, or ended one way or the other. The
// models that run one piece of work at a time (a download, the yt-dlp update) share it.
enum class RunKind { idle, running, finished, failed };
