#include "install/InstallParams.h"

#include "config/InstallerSettings.h"

void TakeInstallSettings(InstallParams& params, const InstallerSettings& settings) {
    params.downloadUrl = settings.DownloadUrl;
    params.downloadType = settings.DownloadType;
    params.instCmd = settings.InstCmd;
    params.checkNetwork = settings.IsCheckNet;
    params.downloadScale = settings.DownloadScale;
    params.curlReady = settings.IsCurlReady;
    params.downloadSha256 = settings.DownloadSha256;
    params.installerFileName = settings.ExeFileName;
}
