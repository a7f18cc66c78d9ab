#include "wizards/RenderProgram.h"

#include "download/RenderClient.h"

QString RenderProgramMissing()
{
    if (!CRenderClient::ProgramPath().empty()) {
        return {};
    }
    return QStringLiteral("找不到网页渲染程序 trawlix-render(它应与 Trawlix 安装在同一目录)，"
                          "无法按浏览器显示的样子保存网页。\n请重新安装 Trawlix，"
                          "或取消勾选\u201c按浏览器显示的样子保存(执行网页脚本)\u201d。");
}
