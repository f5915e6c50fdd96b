<?php
// For PHP's built-in server only: the library and the database are never served.
$path = parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH) ?? '/';
if (preg_match('#^/(lib|data)(/|$)#', $path) || str_contains($path, '/.') || $path === '/router.php') {
    http_response_code(404);
    return true;
}
return false;
