function text = log_text()
  % The whole of "logfile.tmp" in the current folder, as one row of text.
  fid = fopen('logfile.tmp', 'r');
  if fid < 0
    error('test:failed', 'logfile.tmp cannot be read');
  end
  text = fread(fid, Inf, 'char=>char')';
  fclose(fid);
end
