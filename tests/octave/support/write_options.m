function write_options(varargin)
  % write_options(line, ...): writes "sarn.opt" in the current folder with
  % one option per line; with no lines the file is removed.
  if nargin == 0
    if exist('sarn.opt', 'file')
      delete('sarn.opt');
    end
    return;
  end
  fid = fopen('sarn.opt', 'w');
  fprintf(fid, '%s\n', varargin{:});
  fclose(fid);
end
