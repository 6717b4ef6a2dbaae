#!/usr/bin/env bash
# Installs the MCP SDK that client.mjs uses into FOLDER (build/mcp-client), from the lockfile
# beside this script.
#   setup.sh FOLDER
here=$(cd "$(dirname "$0")" && pwd)
exec bash "$here/../support/npm-client.sh" "$here" "$1" "the MCP SDK (@modelcontextprotocol/sdk)"
