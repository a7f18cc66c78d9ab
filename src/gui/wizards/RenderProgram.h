#pragma once

#include <QString>

// Why a job that renders its pages cannot run here (the page renderer is not installed), in Chinese;
// empty when it can. Asked before the job starts, so the user can untick the box instead of getting a
// job that saves nothing.
QString RenderProgramMissing();
